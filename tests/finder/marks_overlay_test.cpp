#include <gtest/gtest.h>

#include <QImage>

#include "finder/MarksOverlay.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"

using namespace rk;

namespace {

[[maybe_unused]] const auto* const kWidgets = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::widgets, "marks_overlay_test"));

const Rect kWindow{100, 80, 400, 300};
const QList<Mark> kMarks = {
    Mark{Mark::Kind::remove, PaneRow{PaneSection::accessibility, "Row", Rect{150, 160, 300, 30}, 0, true, {}},
         "Remove this"}};

}  // namespace

TEST(MarksOverlayGeometry, BottomLeftFrameFromTheWindowFrame) {
    struct Case {
        Rect window;
        Rect want;
    } cases[] = {
        {Rect{0, 100, 715, 600}, Rect{0, 380, 715, 600}},
        {Rect{40, 0, 800, 1080}, Rect{40, 0, 800, 1080}},
        {Rect{-300, 900, 500, 400}, Rect{-300, -220, 500, 400}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MarksOverlay::panelFrame(c.window, 1080), c.want);
        // And back to the toolkit's top-left space, where it is the window again.
        EXPECT_EQ(MarksOverlay::toolkitGeometry(c.want, 1080), c.window.toQRectF().toRect());
    }
    for (const Rect& bad : {Rect{0, 0, 0, 300}, Rect{0, std::nan(""), 400, 300}, Rect{1e12, 0, 400, 300}})
        EXPECT_FALSE(MarksOverlay::toolkitGeometry(bad, 1080));
}

TEST(MarksOverlay, ShowsOverTheWindowAsAClickThroughFloatingPanel) {
    MarksOverlay overlay;
    const Rect minus{180, 340, 22, 22};
    overlay.show(kMarks, minus, kWindow);
    ASSERT_TRUE(overlay.isShowing());
    const QWidget* panel = overlay.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->geometry(), QRect(100, 80, 400, 300));
    EXPECT_EQ(overlay.view().geometry(), QRect(0, 0, 400, 300));
    for (const Qt::WindowType flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint,
                                      Qt::WindowTransparentForInput, Qt::WindowDoesNotAcceptFocus})
        EXPECT_TRUE(panel->windowFlags().testFlag(flag)) << flag;
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(panel->isActiveWindow());

    // The marks on a transparent panel: the remove frame's left edge is
    // (150 - 6) - 100 = 44 points in, the row's middle at 95.
    const QImage shown = const_cast<QWidget*>(panel)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_TRUE(test::isMarkRed(shown.pixel(44, 95)));
    EXPECT_EQ(qAlpha(shown.pixel(10, 10)), 0);
}

TEST(MarksOverlay, MadeForTheFirstMarksThenFollowsTheWindowAndHidesOnEmptyMarks) {
    MarksOverlay overlay;
    overlay.hide();
    overlay.show({}, std::nullopt, kWindow);
    EXPECT_EQ(overlay.panel(), nullptr);
    EXPECT_FALSE(overlay.isShowing());

    overlay.show(kMarks, std::nullopt, kWindow);
    const QWidget* panel = overlay.panel();
    overlay.show(kMarks, std::nullopt, Rect{150, 60, 420, 320});
    EXPECT_EQ(overlay.panel(), panel);  // made once, then reused
    EXPECT_EQ(panel->geometry(), QRect(150, 60, 420, 320));
    EXPECT_TRUE(overlay.isShowing());
    overlay.show({}, std::nullopt, kWindow);
    EXPECT_FALSE(overlay.isShowing());
    overlay.show(kMarks, std::nullopt, kWindow);
    EXPECT_TRUE(overlay.isShowing());
    overlay.hide();
    EXPECT_FALSE(overlay.isShowing());
    EXPECT_EQ(overlay.panel(), panel);
}
