// The photo's road on a simulated System Settings, in both appearances and
// at both display scales: read the page, select a row, photograph the window
// and test each row's icon against the generic art. (The marks painted on
// such a photo are checked by the accessibility road of the app's model.)

#include <gtest/gtest.h>

#include "finder/IconCheck.h"
#include "finder/SettingsDriver.h"
#include "finder/WindowShot.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"
#include "support/SimulatedSettings.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kGui =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::gui, "photo_pipeline_test"));

struct Road {
    bool dark;
    double scale;
    Pane pane;
};

class PhotoRoad : public ::testing::TestWithParam<Road> {};

TEST_P(PhotoRoad, OnlyBlankIconsReadBlank) {
    const auto [dark, scale, pane] = GetParam();
    SimulatedSettings settings;
    settings.install();
    const QList<SimulatedRow> rows{{"Gone Helper", SimulatedIcon::blankDocument, "com.gone.helper"},
                                   {"Live Editor", SimulatedIcon::colourful, "com.live.editor"},
                                   {"Plain Tool", SimulatedIcon::genericApplication, "/opt/tool"}};
    settings.setAccessibilityRows(rows);
    settings.setOpenAtLoginRows(rows);
    settings.setBackgroundItems({{"Gone Agent", "1 item", SimulatedIcon::blankDocument, true, "a"},
                                 {"Live Agent", "", SimulatedIcon::colourful, true, "b"},
                                 {"Plain Agent", "", SimulatedIcon::genericApplication, true, "c"}});
    settings.showPage(pane == Pane::accessibility ? SimulatedPage::accessibility : SimulatedPage::loginItems);
    SimulatedPhoto capture;
    capture.attach(settings, scale, dark);

    // The program selects the first row before it takes the photo.
    const auto before = SettingsDriver::snapshot(pane);
    ASSERT_TRUE(before && SettingsDriver::select(before->rows[0], *before));
    const auto s = SettingsDriver::snapshot(pane);
    ASSERT_TRUE(s && s->windowNumber);
    const auto photo = WindowShot::capture(*s->windowNumber, capture);
    ASSERT_TRUE(photo);
    const Rect& window = s->windowFrame;
    EXPECT_EQ(photo->size(), QSize(int(window.width * scale), int(window.height * scale)));

    const QList<SimulatedLayoutRow> drawn = settings.layout().rows;
    ASSERT_EQ(drawn.size(), s->rows.size());
    for (qsizetype i = 0; i < s->rows.size(); ++i) {
        const auto reading = IconCheck::read(*photo, s->windowFrame, s->rows[i], dark);
        ASSERT_TRUE(reading) << s->rows[i].title.toStdString();
        const std::string text = s->rows[i].title.toStdString() + ": " + reading->description().toStdString();
        EXPECT_EQ(reading->blank, drawn[i].icon == SimulatedIcon::blankDocument) << text;
        if (drawn[i].icon == SimulatedIcon::colourful) {
            EXPECT_GE(reading->saturation, 30) << text;
        } else if (drawn[i].icon == SimulatedIcon::genericApplication) {
            // Colourless, but more like the application icon than the document.
            EXPECT_LT(reading->saturation, 30) << text;
            EXPECT_GT(reading->appDiff, reading->baselineDiff) << text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Appearances, PhotoRoad,
                         ::testing::Values(Road{false, 1, Pane::accessibility},
                                           Road{true, 2, Pane::accessibility},
                                           Road{false, 2, Pane::loginItems}, Road{true, 1, Pane::loginItems}),
                         [](const auto& info) {
                             return (info.param.dark ? "dark" : "light") +
                                    std::to_string(int(info.param.scale)) +
                                    rawValue(info.param.pane).toStdString();
                         });

}  // namespace
