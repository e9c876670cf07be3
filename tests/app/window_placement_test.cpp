// Where the main window goes beside System Settings: the arithmetic, then the
// move itself on the simulated System Settings.

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include "app/WindowPlacement.h"
#include "support/QtApp.h"
#include "support/SimulatedSettings.h"

using namespace rk;

namespace {

[[maybe_unused]] const auto* const kGui = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::widgets, "window_placement_test"));

// One 1440 x 900 screen with a 25-point menu bar; visible frame below it.
const ScreenArea laptop{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};

TEST(WindowPlacement, BesideSystemSettings) {
    const ScreenArea right{QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1040)};
    struct Case {
        const char* name;
        QRectF settings;
        std::optional<QPointF> want;
        QSizeF window = QSizeF(600, 500);
        std::vector<ScreenArea> screens = {laptop};
    } cases[] = {
        {"fits both sides: left", QRectF(700, 100, 600, 600), QPointF(700 - 600 - 12, 100)},
        {"exactly room on the left", QRectF(612, 100, 600, 600), QPointF(0, 100)},
        {"only the right fits", QRectF(100, 100, 700, 600), QPointF(812, 100)},
        {"neither side fits", QRectF(400, 100, 700, 600), std::nullopt},
        {"left one point short, right fits", QRectF(611, 100, 200, 600), QPointF(823, 100)},
        {"top above the visible frame is clamped", QRectF(700, 5, 600, 600), QPointF(88, 25)},
        {"near the bottom the window is raised", QRectF(700, 600, 600, 300), QPointF(88, 400)},
        {"taller than the screen: bottom inside", QRectF(700, 100, 600, 600), QPointF(88, -100),
         QSizeF(600, 1000)},
        // Room only right of it on its own screen, though the first has room to the left.
        {"the screen System Settings is on",
         QRectF(1500, 200, 800, 600),
         QPointF(2312, 200),
         QSizeF(600, 500),
         {laptop, right}},
        {"no screens", QRectF(700, 100, 600, 600), std::nullopt, QSizeF(600, 500), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowPlacement::beside(c.settings, c.screens, c.window), c.want) << c.name;
}

// First frames (centred) and remembered ones, kept whole inside a screen's
// visible frame; 600 x 580 is the smallest the window can be.
TEST(WindowPlacement, KeepsTheWholeFrameInsideAScreen) {
    const ScreenArea small{QRectF(0, 0, 1280, 800), QRectF(0, 0, 1280, 800)};
    const ScreenArea right{QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1040)};
    const QSize tall(600, 839);
    struct Case {
        const char* name;
        std::optional<QRect> saved;  // none: a first window of `tall`
        std::vector<ScreenArea> screens;
        std::optional<QRect> want;
    } cases[] = {
        {"first window fits: centred", std::nullopt, {laptop}, QRect(420, 43, 600, 839)},
        {"first window taller than the screen: as tall", std::nullopt, {small}, QRect(340, 0, 600, 800)},
        {"not even the minimum fits: at the corner",
         std::nullopt,
         {{QRectF(0, 0, 1024, 500), QRectF(0, 20, 1024, 480)}},
         QRect(0, 20, 600, 580)},
        {"saved taller than the screen", QRect(340, 20, 600, 839), {small}, QRect(340, 0, 600, 800)},
        {"saved off the left edge", QRect(-300, 100, 600, 600), {laptop}, QRect(0, 100, 600, 600)},
        {"saved off the right edge", QRect(1000, 100, 600, 600), {laptop}, QRect(840, 100, 600, 600)},
        {"saved under the menu bar", QRect(100, 5, 600, 600), {laptop}, QRect(100, 25, 600, 600)},
        {"saved off the bottom", QRect(100, 700, 600, 600), {laptop}, QRect(100, 300, 600, 600)},
        {"saved inside: kept", QRect(100, 100, 640, 700), {laptop}, QRect(100, 100, 640, 700)},
        {"saved on its screen, the second",
         QRect(3200, 500, 600, 600),
         {laptop, right},
         QRect(2760, 440, 600, 600)},
        {"saved on a screen that is gone: centred on the first",
         QRect(3200, 500, 600, 600),
         {laptop},
         QRect(420, 162, 600, 600)},
        {"no screens", QRect(100, 100, 600, 600), {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const QSize minimum(600, 580);
        const auto placed = c.saved ? WindowPlacement::inside(*c.saved, minimum, c.screens)
                                    : WindowPlacement::centred(tall, minimum, c.screens);
        EXPECT_EQ(placed, c.want) << c.name;
    }
}

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setObjectName("main");
        window.resize(300, 200);
        window.move(10, 300);
        window.show();
        settings.setRunning(true);
        settings.showPage(test::SimulatedPage::accessibility);
        // Right of the screen's middle: room for the window on its left.
        settings.setWindowFrame(Rect{screen.left() + 400.0, screen.top() + 40.0, 350, 400});
    }

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    test::SimulatedSettings settings;
};

TEST_F(PlacementTest, EveryMissingPieceLeavesTheWindowAlone) {
    const QPoint before = window.frameGeometry().topLeft();
    settings.setRunning(false);
    WindowPlacement::besideSettingsNow(settings, settings);
    window.setObjectName("other");
    settings.setRunning(true);
    WindowPlacement::besideSettingsNow(settings, settings);  // no window named "main"
    EXPECT_FALSE(test::spinUntil([&] { return window.frameGeometry().topLeft() != before; }, 400));
}

// After the delay, the whole window, its frame included, goes left of System
// Settings with the tops aligned; its size never changes.
TEST_F(PlacementTest, SoonMeansAfterTheDelay) {
    settings.install();
    const QPoint before = window.frameGeometry().topLeft();
    WindowPlacement::besideSettingsSoon();
    EXPECT_EQ(window.frameGeometry().topLeft(), before);
    const QPoint want(screen.left() + 400 - window.frameGeometry().width() - 12, screen.top() + 40);
    EXPECT_TRUE(test::spinUntil([&] { return window.frameGeometry().topLeft() == want; }, 10'000));
    EXPECT_EQ(window.size(), QSize(300, 200));
    settings.uninstall();
}

}  // namespace
