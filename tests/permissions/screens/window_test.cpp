// The wizard's window: one at a time, its size and place, closing it, and a
// picture of every screen in both schemes (written under the build folder).

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>

#include "permissions/PermissionWizard.h"
#include "permissions/screens/PermissionWizardWindow.h"
#include "support/ScreensFixture.h"
#include "support/WidgetProbe.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

void settleFor(int milliseconds = 0) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (clock.elapsed() < milliseconds);
}

QList<KTPermissionWizardWindow*> wizardWindows() {
    QList<KTPermissionWizardWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<KTPermissionWizardWindow*>(widget))
            windows << window;
    }
    return windows;
}

class WizardWindow : public testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        KTPermissionWizardWindow::install();
        KTPermissionWizard::configure(test::screensProduct(), test::screensBrand(),
                                      test::screensPermissions(&granted), false);
    }
    void TearDown() override {
        KTPermissionWizard::close();
        settleFor();
    }

    test::WizardSandbox sandbox;
    QSet<QString> granted{"access"};
};

TEST_F(WizardWindow, OneCentredWindowIsReusedAndClosingRewritesTheRecord) {
    const std::function<void()> closers[] = {
        [] { wizardWindows().first()->close(); },
        [] { test::press(wizardWindows().first(), "Not now"); },
    };
    for (const auto& closeIt : closers) {
        KTPermissionWizard::present(true);
        KTPermissionWizard::present(false);
        settleFor();
        ASSERT_EQ(wizardWindows().size(), 1);
        KTPermissionWizardWindow* window = wizardWindows().first();
        EXPECT_EQ(window->size(), QSize(660, 700));
        const QRect screen = window->screen()->availableGeometry();
        EXPECT_LE(std::abs(window->frameGeometry().center().x() - screen.center().x()), 1);
        QFile::remove(sandbox.dotFile("sampler", "permissions.json"));
        closeIt();
        settleFor();
        EXPECT_FALSE(KTPermissionWizard::isPresented());
        EXPECT_TRUE(wizardWindows().isEmpty());
        EXPECT_TRUE(QFile::exists(sandbox.dotFile("sampler", "permissions.json")));
    }
    // "Not now" skipped the two that were not granted.
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"disk", "screen"}));
}

// A grant ticked but dead, after a relaunch, in both schemes (the window
// shots draw every other screen): the brand's ground fills the window.
TEST(WizardScreens, TheTickedButDeadScreenDrawsInBothSchemes) {
    test::ensureApplication();
    test::WizardSandbox sandbox;
    QSet<QString> granted;
    test::RecordingEnvironment recorder;
    const KTWizardForcing forcing{.initialStep = 0,
                                  .grants = KTGrantMap{{"disk", false}},
                                  .tickedDead = QSet<QString>{"disk"},
                                  .relaunched = true};
    for (const bool dark : {true, false}) {
        KTPermissionWizardView view(
            test::screensBrand(), test::screensProduct(), test::screensPermissions(&granted), [] {}, forcing,
            recorder.environment());
        view.setDarkOverride(dark);
        view.resize(660, 700);
        view.show();
        settleFor();
        const QImage image = view.grab().toImage();
        EXPECT_FALSE(
            test::savePng(image, QString("wizard-disk-ticked-dead-") + (dark ? "dark" : "light")).isEmpty());
        EXPECT_TRUE(test::near(test::pixel(image, {2, 2}), Palette::ground(dark))) << dark;
    }
}

}  // namespace
}  // namespace rk
