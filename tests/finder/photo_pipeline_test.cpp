// The photo's whole road on a simulated System Settings: read the page,
// photograph its window, test each row's icon, and paint the marks.

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

bool isRed(QRgb p) {
    return qRed(p) > 200 && qGreen(p) < 110 && qBlue(p) < 110;
}
bool isGreen(QRgb p) {
    return qGreen(p) > 130 && qRed(p) < 70 && qBlue(p) < 100;
}

// The photo pixel on the left edge of the mark around a row, at its middle.
QPoint markEdge(const PaneRow& row, const Rect& window, double scale) {
    const Rect local{row.frame.x - window.x, row.frame.y - window.y, row.frame.width, row.frame.height};
    const Rect box = MarkPainter::box(local, window.width);
    return QPoint(static_cast<int>(box.x * scale), static_cast<int>((box.y + box.height / 2) * scale));
}

struct Photographed {
    SettingsSnapshot snapshot;
    QImage photo;
    std::vector<std::optional<IconReading>> readings;
};

std::optional<Photographed> photograph(Pane pane, SimulatedPhoto& capture, bool dark) {
    const auto snapshot = SettingsDriver::snapshot(pane);
    if (!snapshot || !snapshot->windowNumber) {
        return std::nullopt;
    }
    auto photo = WindowShot::capture(*snapshot->windowNumber, capture);
    if (!photo) {
        return std::nullopt;
    }
    Photographed shot{*snapshot, std::move(photo).value(), {}};
    for (const PaneRow& row : shot.snapshot.rows) {
        shot.readings.push_back(IconCheck::read(shot.photo, shot.snapshot.windowFrame, row, dark));
    }
    return shot;
}

class PhotoPipeline : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        settings.setRunning(true);
        settings.setFrontmost(SimulatedSettings::settingsBundleID());
        settings.install();
    }
    void TearDown() override { settings.uninstall(); }

    SimulatedSettings settings;
};

}  // namespace

TEST_P(PhotoPipeline, AccessibilityPageFromCaptureToMarkedPhoto) {
    const bool dark = GetParam();
    settings.showPage(SimulatedPage::accessibility);
    settings.setAccessibilityRows(
        {SimulatedRow{"Old Helper", SimulatedIcon::blankDocument, "com.old.helper"},
         SimulatedRow{"Editor", SimulatedIcon::colourful, "com.example.editor"},
         SimulatedRow{"Plain Tool", SimulatedIcon::genericApplication, "/opt/tool"}});
    SimulatedPhoto capture;
    capture.attach(settings, 2, dark);

    const auto shot = photograph(Pane::accessibility, capture, dark);
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->snapshot.rows.size(), 3);
    EXPECT_EQ(shot->photo.size(), QSize(static_cast<int>(shot->snapshot.windowFrame.width * 2),
                                        static_cast<int>(shot->snapshot.windowFrame.height * 2)));
    std::vector<bool> blank;
    for (const auto& reading : shot->readings) {
        ASSERT_TRUE(reading);
        blank.push_back(reading->blank);
    }
    EXPECT_EQ(blank, (std::vector<bool>{true, false, false}));

    // The blank row is marked for removal, the others kept.
    QList<Mark> marks;
    for (qsizetype i = 0; i < shot->snapshot.rows.size(); ++i) {
        const PaneRow& row = shot->snapshot.rows[i];
        marks << (blank[static_cast<size_t>(i)] ? Mark{Mark::Kind::remove, row, "Remove this"}
                                                : Mark{Mark::Kind::keep, row, "KEEP THIS ROW"});
    }
    const auto minus = SettingsDriver::minus(shot->snapshot.rows[0], shot->snapshot);
    ASSERT_TRUE(minus);
    const auto marked = MarkPainter::annotate(shot->photo, shot->snapshot.windowFrame, marks, minus);
    ASSERT_TRUE(marked);
    const Rect& window = shot->snapshot.windowFrame;
    EXPECT_TRUE(isRed(marked->pixel(markEdge(shot->snapshot.rows[0], window, 2))));
    EXPECT_TRUE(isGreen(marked->pixel(markEdge(shot->snapshot.rows[1], window, 2))));
    EXPECT_TRUE(isGreen(marked->pixel(markEdge(shot->snapshot.rows[2], window, 2))));
    // The ring's left end, 20 points left of the minus button's middle.
    const QPoint ring(static_cast<int>((minus->x + minus->width / 2 - 20 - window.x) * 2),
                      static_cast<int>((minus->y + minus->height / 2 - window.y) * 2));
    EXPECT_TRUE(isRed(marked->pixel(ring)));
    EXPECT_FALSE(isRed(shot->photo.pixel(ring)));
}

TEST_P(PhotoPipeline, BackgroundItemsAtScaleOne) {
    const bool dark = GetParam();
    settings.showPage(SimulatedPage::loginItems);
    settings.setBackgroundItems(
        {SimulatedBackgroundItem{"Gone Agent", "1 item", SimulatedIcon::blankDocument, true,
                                 "com.gone.agent"},
         SimulatedBackgroundItem{"Sync", "", SimulatedIcon::colourful, true, "com.example.sync"}});
    SimulatedPhoto capture;
    capture.attach(settings, 1, dark);
    const auto shot = photograph(Pane::loginItems, capture, dark);
    ASSERT_TRUE(shot);
    QStringList blankTitles;
    for (size_t i = 0; i < shot->readings.size(); ++i) {
        const PaneRow& row = shot->snapshot.rows[static_cast<qsizetype>(i)];
        ASSERT_TRUE(shot->readings[i]) << row.title.toStdString();
        if (row.section == PaneSection::background && shot->readings[i]->blank) {
            blankTitles << row.title;
        }
    }
    EXPECT_EQ(blankTitles, QStringList{"Gone Agent"});
}

TEST_P(PhotoPipeline, SelectedRowStillReadsBlank) {
    // The program selects the row before the photo is taken.
    const bool dark = GetParam();
    settings.showPage(SimulatedPage::accessibility);
    settings.setAccessibilityRows(
        {SimulatedRow{"Old Helper", SimulatedIcon::blankDocument, "com.old.helper"}});
    SimulatedPhoto capture;
    capture.attach(settings, 2, dark);
    const auto before = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(before && !before->rows.isEmpty());
    ASSERT_TRUE(SettingsDriver::select(before->rows[0], *before));
    const auto shot = photograph(Pane::accessibility, capture, dark);
    ASSERT_TRUE(shot);
    ASSERT_TRUE(shot->readings[0]);
    EXPECT_TRUE(shot->readings[0]->blank) << shot->readings[0]->description().toStdString();
}

TEST_P(PhotoPipeline, NoWindowNoPhoto) {
    settings.showPage(SimulatedPage::accessibility);
    SimulatedPhoto capture;
    capture.attach(settings, 2, GetParam());
    const auto number = settings.windowNumber();
    settings.setRunning(false);
    const auto photo = WindowShot::capture(number, capture);
    ASSERT_FALSE(photo);
    EXPECT_EQ(photo.error(), WindowShot::Failure::windowNotFound());
}

INSTANTIATE_TEST_SUITE_P(Appearances, PhotoPipeline, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "dark" : "light"; });
