// "Set up permissions" on the Start page opens the wizard's window, in demo
// mode too, and the walk shows the machine's answers: Full Disk Access when
// both stores can be read, Accessibility and Screen Recording off as on Linux.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QTemporaryDir>

#include "app/PermissionDeclaration.h"
#include "finder/TCCStore.h"
#include "permissions/screens/PermissionScreen.h"
#include "permissions/screens/PermissionWizardWindow.h"
#include "support/DelegateFakes.h"
#include "support/WidgetProbe.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

KTPermissionWizardWindow* wizardWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<KTPermissionWizardWindow*>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

QString stepLine(KTPermissionWizardWindow* window) {
    test::settle();
    auto* screen = qobject_cast<PermissionScreen*>(window->view()->screen());
    return screen ? screen->layout().stepLine : QString();
}

class SetUpPermissions : public testing::TestWithParam<bool> {};

TEST_P(SetUpPermissions, OpensTheWizardAndWalksItWithThisMachinesAnswers) {
    test::ensureApplication();
    const bool storesReadable = GetParam();
    test::WizardSandbox sandbox;
    KTProbePlatform::setCurrent(nullptr);  // the answers of the machine's seams
    test::ModelWorld world;
    world.model = std::make_unique<AppModel>(world.seams);
    world.settings.trusted = false;
    world.photo.permitted = false;
    if (!storesReadable)
        QFile::remove(world.root.disk(TCCStore::userPath(world.root.paths())));
    QTemporaryDir frames;
    AppDelegateSeams seams = test::delegateSeams(world, frames.filePath("frames.ini"));
    seams.configureWizard = [] { configureWizard(false); };
    AppDelegate delegate({"rowkeeper", "--demo"}, seams);
    delegate.applicationWillFinishLaunching();
    ASSERT_FALSE(delegate.applicationDidFinishLaunching());

    test::press(delegate.window(), "Set up permissions");
    KTPermissionWizardWindow* window = wizardWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Rowkeeper Permissions");
    EXPECT_EQ(window->view()->refreshState().granted,
              (KTGrantMap{{"fulldisk", storesReadable}, {"accessibility", false}, {"screen", false}}));

    // Get Started goes to the first permission that is off; each is skipped in turn.
    test::press(window, "Get Started");
    const QStringList walk = storesReadable ? QStringList{"Step 2 of 3", "Step 3 of 3"}
                                            : QStringList{"Step 1 of 3", "Step 2 of 3", "Step 3 of 3"};
    for (const QString& step : walk) {
        EXPECT_EQ(stepLine(window), step);
        test::press(window, step == "Step 3 of 3" ? "Skip" : "Skip for now");
    }
    test::settle();
    test::press(window, "Done");
    test::settle();
    EXPECT_EQ(wizardWindow(), nullptr);
    delegate.window()->close();
}

INSTANTIATE_TEST_SUITE_P(Stores, SetUpPermissions, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Readable" : "Closed"; });

}  // namespace
}  // namespace rk
