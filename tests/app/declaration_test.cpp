// The app's own declaration as the wizard sees it, and "Set up permissions"
// on the Start page opening the wizard's window, in demo mode too, walked
// with the machine's answers: Full Disk Access when both stores can be read,
// Accessibility and Screen Recording off as on Linux. What the command-line
// permission modes print is the wizard's; the shell's dispatch to them is in
// links_test.

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMainWindow>

#include "app/PermissionDeclaration.h"
#include "permissions/screens/DragCompanion.h"
#include "permissions/screens/PermissionScreen.h"
#include "permissions/screens/PermissionWizardWindow.h"
#include "support/DelegateFakes.h"
#include "support/Printers.h"
#include "support/WidgetProbe.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

TEST(PermissionDeclaration, ThreePermissionsInScreenOrderWithTheirFlags) {
    test::WizardSandbox sandbox;
    const QList<KTPermission> permissions = PermissionDeclaration::permissions();
    const QUrl pages[] = {KTPermissionProbes::Pane::fullDisk(), KTPermissionProbes::Pane::accessibility(),
                          KTPermissionProbes::Pane::screenRecording()};
    const QStringList ids{"fulldisk", "accessibility", "screen"};
    ASSERT_EQ(permissions.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const KTPermission& p = permissions[i];
        EXPECT_EQ(p.id + " " + p.settingsURL.toString(), ids[i] + " " + pages[i].toString());
        EXPECT_EQ(bool(p.request), p.id != "fulldisk") << "Full Disk Access has no prompt to ask for";
        EXPECT_EQ(p.isOptional, p.id == "screen") << p.id.toStdString();
        EXPECT_EQ(p.costOfSkipping.has_value(), p.id == "screen") << p.id.toStdString();
        EXPECT_EQ(p.requiresManualDrag, p.id == "fulldisk") << p.id.toStdString();
    }
    // Probes and requests go through the platform.
    EXPECT_FALSE(permissions[1].probe() || permissions[2].probe());
    sandbox.probes.trusted = true;
    sandbox.probes.preflight = true;
    EXPECT_TRUE(permissions[1].probe() && permissions[2].probe());
    permissions[1].request();
    permissions[2].request();
    EXPECT_EQ(std::pair(sandbox.probes.accessibilityPrompts, sandbox.probes.captureRequests),
              std::pair(1, 1));
}

TEST(PermissionDeclaration, ConfiguringWithWriteStateWritesTheLarkspurRecord) {
    test::WizardSandbox sandbox;
    configureWizard(false);
    EXPECT_TRUE(KTPermissionWizard::renderScreens);  // for "--permission-windowshot"
    EXPECT_TRUE(sandbox.readDotFile("larkspur", "permissions.json").isEmpty());
    configureWizard(true);
    EXPECT_EQ(KTPermissionWizard::product().name, "Rowkeeper");
    const QJsonArray entries = QJsonDocument::fromJson(sandbox.readDotFile("larkspur", "permissions.json"))
                                   .object()
                                   .value("permissions")
                                   .toArray();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[2].toObject().value("id").toString(), "screen");
    EXPECT_TRUE(entries[2].toObject().value("optional").toBool());
}

KTPermissionWizardWindow* wizardWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<KTPermissionWizardWindow*>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
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

    // Get Started goes to the first permission that is off. Where nothing
    // opens System Settings its button stays and says so; where it opens, the
    // screen waits for the list that opened (Full Disk Access with the drag companion).
    test::pressAndSettle(window, "Get Started");
    auto* first = qobject_cast<PermissionScreen*>(window->view()->screen());
    ASSERT_NE(first, nullptr);
    const QString enable = first->primaryLabel();
    for (const bool opens : {false, true}) {
        world.settings.setLinksOpen(opens);
        test::pressAndSettle(window, enable);
        EXPECT_EQ(world.settings.openedLinks().size(), opens ? 2 : 1);
        EXPECT_EQ(first->primaryLabel(), opens ? "Waiting for macOS" : enable);
        EXPECT_EQ(first->status().text.contains("in the list that just opened"), opens);
        EXPECT_EQ(first->status().text == Workspace::settingsNotOpenedLine(), !opens);
        EXPECT_EQ(KTDragCompanion::shared().isShowing(), opens && !storesReadable);
    }
    const QStringList walk = storesReadable ? QStringList{"Step 2 of 3", "Step 3 of 3"}
                                            : QStringList{"Step 1 of 3", "Step 2 of 3", "Step 3 of 3"};
    for (const QString& step : walk) {
        test::settle();
        auto* screen = qobject_cast<PermissionScreen*>(window->view()->screen());
        EXPECT_EQ(screen ? screen->layout().stepLine : QString(), step);
        test::press(window, step == "Step 3 of 3" ? "Skip" : "Skip for now");
    }
    test::settle();
    test::pressAndSettle(window, "Done");
    EXPECT_EQ(wizardWindow(), nullptr);
    delegate.window()->close();
}

INSTANTIATE_TEST_SUITE_P(Stores, SetUpPermissions, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Readable" : "Closed"; });

}  // namespace
}  // namespace rk
