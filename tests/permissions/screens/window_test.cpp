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
    QSet<QString> granted;
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
    // "Not now" skipped the three that were not granted.
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), (QSet<QString>{"disk", "access", "screen"}));
}

TEST(WizardScreens, EveryScreenDrawsInBothSchemes) {
    test::ensureApplication();
    test::WizardSandbox sandbox;
    QSet<QString> granted;
    const QList<KTPermission> permissions = test::screensPermissions(&granted);
    test::RecordingEnvironment recorder;
    struct Shot {
        const char* name;
        KTWizardForcing forcing;
    };
    const KTGrantMap none{{"disk", false}, {"access", false}, {"screen", false}};
    const Shot shots[] = {
        {"summary", {.initialStep = -1, .grants = KTGrantMap{{"disk", true}}}},
        {"disk", {.initialStep = 0, .grants = none}},
        {"access-waiting", {.initialStep = 1, .grants = none, .didAsk = true}},
        {"screen-granted", {.initialStep = 2, .grants = KTGrantMap{{"screen", true}}}},
        {"access-legacy", {.initialStep = 1, .grants = none, .legacyNotice = true}},
        {"disk-ticked-dead",
         {.initialStep = 0, .grants = none, .tickedDead = QSet<QString>{"disk"}, .relaunched = true}},
        {"done", {.initialStep = 3, .grants = KTGrantMap{{"disk", true}}}},
    };
    for (const Shot& shot : shots) {
        for (const bool dark : {true, false}) {
            KTPermissionWizardView view(
                test::screensBrand(), test::screensProduct(), permissions, [] {}, shot.forcing,
                recorder.environment());
            view.setDarkOverride(dark);
            view.resize(660, 700);
            view.show();
            settleFor();
            const QImage image = view.grab().toImage();
            const QString name = QString("wizard-%1-%2").arg(shot.name, dark ? "dark" : "light");
            EXPECT_FALSE(test::savePng(image, name).isEmpty());
            // The brand's ground fills the window behind the screen.
            EXPECT_TRUE(test::near(test::pixel(image, {2, 2}), Palette::ground(dark))) << name.toStdString();
        }
    }
}

}  // namespace
}  // namespace rk
