// The photo's whole road on a simulated System Settings, in both appearances
// and at both display scales: read the page, photograph its window, test
// each row's icon against the generic art, and paint the marks.

#include <gtest/gtest.h>

#include "finder/IconCheck.h"
#include "finder/MarkPainter.h"
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

TEST_P(PhotoRoad, BlankIconsReadBlankAndAreFramedRed) {
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
    QList<Mark> marks;
    for (qsizetype i = 0; i < s->rows.size(); ++i) {
        const PaneRow& row = s->rows[i];
        const auto reading = IconCheck::read(*photo, window, row, dark);
        ASSERT_TRUE(reading) << row.title.toStdString();
        const std::string text = row.title.toStdString() + ": " + reading->description().toStdString();
        if (drawn[i].icon == SimulatedIcon::blankDocument) {
            EXPECT_TRUE(reading->blank) << text;
            // The reading comes from where the icon is: through a window
            // frame twenty points off, the same row shows no document.
            const auto off = IconCheck::read(
                *photo, Rect{window.x, window.y + 20, window.width, window.height}, row, dark);
            ASSERT_TRUE(off) << text;
            EXPECT_FALSE(off->blank) << text;
        } else if (drawn[i].icon == SimulatedIcon::colourful) {
            EXPECT_FALSE(reading->blank) << text;
            EXPECT_GE(reading->saturation, 30) << text;
        } else {
            // Colourless, but more like the application icon than the document.
            EXPECT_FALSE(reading->blank) << text;
            EXPECT_LT(reading->saturation, 30) << text;
            EXPECT_GT(reading->appDiff, reading->baselineDiff) << text;
        }
        marks << Mark{reading->blank ? Mark::Kind::remove : Mark::Kind::keep, row, "Remove this"};
    }

    // Each mark's frame at the middle of its left edge, and the ring's left
    // end, 20 points left of the minus button's middle.
    const auto minus = SettingsDriver::minus(s->rows[0], *s);
    ASSERT_TRUE(minus);
    const auto marked = MarkPainter::annotate(*photo, window, marks, minus);
    ASSERT_TRUE(marked);
    const auto pixel = [&](const QImage& image, double x, double y) {
        return image.pixel(int(x * scale), int(y * scale));
    };
    for (const Mark& mark : marks) {
        const Rect& f = mark.row.frame;
        const Rect box =
            MarkPainter::box(Rect{f.x - window.x, f.y - window.y, f.width, f.height}, window.width);
        const QRgb edge = pixel(*marked, box.x, box.y + box.height / 2);
        EXPECT_TRUE(mark.kind == Mark::Kind::remove ? isMarkRed(edge) : isMarkGreen(edge))
            << mark.row.title.toStdString();
    }
    const double ringX = minus->x + minus->width / 2 - 20 - window.x,
                 ringY = minus->y + minus->height / 2 - window.y;
    EXPECT_TRUE(isMarkRed(pixel(*marked, ringX, ringY)));
    EXPECT_FALSE(isMarkRed(pixel(*photo, ringX, ringY)));
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
