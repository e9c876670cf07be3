// The walk through the wizard: which screen and footer each step shows for
// none to three permissions, and the root view's buttons moving between them.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "permissions/PermissionWizard.h"
#include "permissions/screens/DoneScreen.h"
#include "permissions/screens/PermissionScreen.h"
#include "permissions/screens/PermissionWizardView.h"
#include "permissions/screens/SummaryScreen.h"
#include "support/PlatformFakes.h"
#include "support/ScreensFixture.h"
#include "support/WidgetProbe.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using Screen = KTWizardSteps::Screen;
using Footer = KTWizardSteps::Footer;

TEST(WizardSteps, ScreenAndFooterForNoneToThreePermissions) {
    const Footer none{};
    const Footer first{.shown = true, .dividerOpacity = 0, .backAllowed = false};
    const Footer later{.shown = true, .dividerOpacity = 0.5, .backAllowed = true};
    const Footer pastDone{.shown = true, .dividerOpacity = 0.5, .backAllowed = false};
    struct Row {
        int count;
        int step;
        Screen screen;
        Footer footer;
    };
    const Row rows[] = {
        {0, -1, Screen::summary, none}, {0, 0, Screen::done, none},        {0, 1, Screen::done, pastDone},
        {1, -3, Screen::summary, none}, {1, 0, Screen::permission, none},  {1, 1, Screen::done, later},
        {1, 6, Screen::done, pastDone}, {2, 0, Screen::permission, first}, {2, 1, Screen::permission, later},
        {2, 2, Screen::done, later},    {3, 0, Screen::permission, first}, {3, 2, Screen::permission, later},
        {3, 3, Screen::done, later},    {3, 8, Screen::done, pastDone},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(KTWizardSteps::screen(row.step, row.count), row.screen) << row.count << " at " << row.step;
        EXPECT_EQ(KTWizardSteps::footer(row.step, row.count), row.footer) << row.count << " at " << row.step;
    }
    EXPECT_EQ(KTWizardSteps::advance(2, 3), 3);
    EXPECT_EQ(KTWizardSteps::advance(3, 3), 3);
}

class WizardWalk : public testing::Test {
protected:
    void SetUp() override { test::ensureApplication(); }

    // A view of the three sample permissions on screen, settled.
    std::unique_ptr<KTPermissionWizardView> open(const QList<KTPermission>& permissions) {
        auto view = std::make_unique<KTPermissionWizardView>(
            test::screensBrand(), test::screensProduct(), permissions, [this] { ++closed; },
            KTWizardForcing{}, recorder.environment());
        view->setDarkOverride(false);
        view->resize(660, 700);
        view->show();
        test::settle();
        return view;
    }
    QString shown(const KTPermissionWizardView& view) {
        test::settle();
        if (auto* screen = qobject_cast<PermissionScreen*>(view.screen()))
            return screen->layout().stepLine;
        if (qobject_cast<DoneScreen*>(view.screen()))
            return "done";
        return qobject_cast<SummaryScreen*>(view.screen()) ? "summary" : "nothing";
    }

    test::WizardSandbox sandbox;
    test::RecordingEnvironment recorder;
    QSet<QString> granted;
    int closed = 0;
};

TEST_F(WizardWalk, GetStartedSkipBackContinueAndDone) {
    granted = {"disk"};
    auto view = open(test::screensPermissions(&granted));
    EXPECT_EQ(shown(*view), "summary");
    test::press(view.get(), "Get Started");
    EXPECT_EQ(shown(*view), "Step 2 of 3") << "the first permission not yet granted";
    test::press(view.get(), "Skip for now");
    EXPECT_EQ(shown(*view), "Step 3 of 3");
    EXPECT_EQ(KTPermissionWizard::skippedIDs(), QSet<QString>{"access"});
    test::press(view.get(), "Back");
    test::press(view.get(), "Back");
    EXPECT_EQ(shown(*view), "Step 1 of 3");
    EXPECT_EQ(test::buttonTitled(view.get(), "Back"), nullptr) << "the first of several has no Back";
    test::press(view.get(), "Continue");
    test::press(view.get(), "Skip for now");
    test::press(view.get(), "Skip");
    EXPECT_EQ(shown(*view), "done");
    test::press(view.get(), "Back");
    EXPECT_EQ(shown(*view), "Step 3 of 3") << "Back from the done screen returns to the last permission";
    // A grant arriving on the open screen turns that same screen green.
    QWidget* screen = view->screen();
    granted << "screen";
    view->refresh();
    EXPECT_EQ(view->screen(), screen);
    EXPECT_EQ(qobject_cast<PermissionScreen*>(screen)->layout().badge, PermissionSections::Badge::granted);
    test::press(view.get(), "Continue");
    test::press(view.get(), "Done");
    EXPECT_EQ(closed, 1);
}

}  // namespace
}  // namespace rk
