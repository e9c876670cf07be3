#include <gtest/gtest.h>

#include <QDir>

#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairCommandLine.h"
#include "permissions/identity/LegacyRepairSelftest.h"
#include "support/FakeLaunchServices.h"
#include "support/FakeTools.h"
#include "support/PlatformFakes.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

enum class Machine {
    plain,         // nothing declared, no tools
    noBundleID,    // the executable lies in no app bundle
    unconfigured,  // the wizard was never configured
    renamed,       // a former identifier, an owned folder, tools and a same-name copy
};

// What the command line prints, and its status, for `arguments` on a machine set up as `setup`.
std::pair<QString, int> run(Machine setup, const QStringList& arguments) {
    test::WizardSandbox sandbox;
    test::FakeTools tools(sandbox.root);
    if (setup == Machine::noBundleID)
        sandbox.bundle.identifier.reset();
    KTPermission screen = test::samplePermission("screen");
    screen.settingsURL = KTPermissionProbes::Pane::screenRecording();
    KTWizardProduct product{.name = "Sample", .slug = "sample"};
    if (setup == Machine::renamed) {
        product.legacyBundleIdentifiers = {"com.example.old"};
        product.ownedBundleFolders = {{"~/Owned", KTOwnedBundleFolder::Disposition::rename}};
        tools.install(MacTool::tccutil);
        tools.install(MacTool::launchServicesRegister);
        tools.answer(MacTool::launchServicesRegister, 0,
                     "-----\npath: /Apps/Sample Beta.app\nname: sample\nidentifier: com.other.beta\n");
    }
    if (setup != Machine::unconfigured)
        KTPermissionWizard::configure(product, KTWizardBrand{}, {screen}, false);
    testing::internal::CaptureStdout();
    const int status = KTLegacyIdentityRepair::runCLI(arguments);
    return {QString::fromStdString(testing::internal::GetCapturedStdout()), status};
}

// Each question's answer and status; on a machine without the tools the
// self-test still passes, its live arms not measured.
TEST(LegacyRepairCommandLine, AnswersAndStatus) {
    const QString usage = "usage: --permission-repair-legacy --dry-run | --apply | --selftest\n";
    const QString notMeasured = "legacy repair: NOT MEASURED ";
    const std::tuple<Machine, QString, QString, int> cases[] = {
        {Machine::noBundleID, "--dry-run", notMeasured + "(this executable has no bundle id)\n", 2},
        {Machine::unconfigured, "--apply", notMeasured + "(configure() has not run)\n", 2},
        {Machine::plain, "--dry-run --apply", usage, 2},
        {Machine::plain, "", usage, 2},
        {Machine::unconfigured, "--dry-run --selftest",
         "legacy repair selftest: live arm NOT MEASURED (no lsregister on this Mac)\n"
         "legacy repair selftest OK (parser; plan: 3 branches + control; live decoy by id; by-name decoy + "
         "live control: NOT MEASURED; settings quit live: NOT MEASURED (could not build the decoy); owned "
         "folders live: NOT MEASURED (could not build the stubs))\n",
         0},
        {Machine::plain, "--dry-run",
         "legacy repair (dry run, nothing changed): own id org.example.sample; legacy ids: none declared; "
         "LaunchServices dump: NOT READ; owned folders: none declared\n  nothing to do\n  0 copies found\n",
         0},
        {Machine::renamed, "--apply",
         "legacy repair (apply): own id org.example.sample; legacy ids: com.example.old; "
         "LaunchServices dump: read; owned folders: /Users/anna/Owned (rename)\n"
         "  reset ScreenCapture for legacy id com.example.old (no copy registered: via a stub bundle)\n"
         "  unregister /Apps/Sample Beta.app  [com.other.beta, same name, other id]\n"
         "  reset ScreenCapture for this app (org.example.sample) so its prompt re-arms\n  1 copy found\n"
         "  legacy repair: could not build a stub for com.example.old; its grants were not reset\n"
         "  legacy repair: unregistered /Apps/Sample Beta.app  [com.other.beta, same name, other id] ok; the "
         "file is still there, remove it so Spotlight cannot register it again\n"
         "  legacy repair: reset own ScreenCapture (org.example.sample) so its prompt re-arms: ok\n",
         0},
    };
    for (const auto& [setup, arguments, out, status] : cases)
        EXPECT_EQ(run(setup, ("rk " + arguments).split(' ', Qt::SkipEmptyParts)), std::pair(out, status))
            << arguments.toStdString();
}

// With a register tool, a signing tool and a workspace that launches apps,
// every live arm runs, and every bundle it built is gone afterwards.
TEST(LegacyRepairSelftest, PassesWithItsLiveArmsMeasured) {
    test::WizardSandbox sandbox;
    test::FakeTools tools(sandbox.root);
    tools.install(MacTool::codesign);
    test::FakeLaunchServices launchServices(sandbox.root);
    test::ScopedCurrent<AppRegistry> registry(&launchServices);
    test::FakeWorkspace workspace;
    workspace.realProcesses = true;
    test::ScopedCurrent<Workspace> installed(&workspace);

    testing::internal::CaptureStdout();
    EXPECT_TRUE(KTLegacyIdentityRepair::selftest());
    EXPECT_EQ(
        testing::internal::GetCapturedStdout(),
        "legacy repair selftest OK (parser; plan: 3 branches + control; live decoy by id; by-name decoy + "
        "live control: measured; settings quit live: quit; owned folders live: measured)\n");
    const QDir left(sandbox.root.disk("/Users/anna/Library/Caches/ktwizard-selftest"));
    EXPECT_EQ(left.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"tcc-stub"}));
    EXPECT_TRUE(QDir(left.filePath("tcc-stub")).isEmpty());
}

}  // namespace
}  // namespace rk
