#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWidget>

#include "app/WindowPlacement.h"
#include "support/QtApp.h"
#include "support/SimulatedSettings.h"

using namespace rk;

namespace {

[[maybe_unused]] const auto* const kGui = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::widgets, "window_placement_move_test"));

bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
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
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        settings.setWindowFrame(Rect{screen.left() + 400.0, screen.top() + 40.0, 350, 400});
    }

    QWidget window;
    test::SimulatedSettings settings;
};

}  // namespace

TEST_F(PlacementTest, MovesTheMainWindowLeftOfSystemSettingsWithTopsAligned) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    WindowPlacement::besideSettingsNow(settings, settings);
    // The whole window, its frame included, goes beside System Settings.
    const int width = window.frameGeometry().width();
    const QPoint want(screen.left() + 400 - width - 12, screen.top() + 40);
    ASSERT_TRUE(waitUntil([&] { return window.frameGeometry().topLeft() == want; }, 5000))
        << window.frameGeometry().x() << "," << window.frameGeometry().y();
    EXPECT_EQ(window.size(), QSize(300, 200));  // the size never changes
}

TEST_F(PlacementTest, EveryMissingPieceLeavesTheWindowAlone) {
    const QPoint before = window.frameGeometry().topLeft();
    settings.setRunning(false);
    WindowPlacement::besideSettingsNow(settings, settings);
    window.setObjectName("other");
    settings.setRunning(true);
    WindowPlacement::besideSettingsNow(settings, settings);  // no window named "main"
    EXPECT_FALSE(waitUntil([&] { return window.frameGeometry().topLeft() != before; }, 400));
}

TEST_F(PlacementTest, SoonMeansAfterTheDelay) {
    settings.install();
    const QPoint before = window.frameGeometry().topLeft();
    WindowPlacement::besideSettingsSoon();
    EXPECT_EQ(window.frameGeometry().topLeft(), before);
    EXPECT_TRUE(waitUntil([&] { return window.frameGeometry().topLeft() != before; }, 10'000));
    settings.uninstall();
}
