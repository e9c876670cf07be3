#include <gtest/gtest.h>

#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairCommandLine.h"
#include "support/FakeTools.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using Pane = KTPermissionProbes::Pane;

struct Case {
    const char* name;
    QStringList arguments;
    bool configured = true;
    bool bundleID = true;
    bool renamed = false;  // former identifiers, an owned folder, tools and a same-name copy
    QStringList output;
    int status = 0;
};

const QString kRenamedPlan[] = {
    "  reset ScreenCapture for legacy id com.example.old (no copy registered: via a stub bundle)",
    "  unregister /Apps/Sample Beta.app  [com.other.beta, same name, other id]",
};
const QString kRenamedHeader =
    "own id org.example.sample; legacy ids: com.example.old; LaunchServices dump: read; "
    "owned folders: /Users/anna/Owned (rename)";

const Case kCases[] = {
    {"NoBundleIdentifier",
     {"rk", "--dry-run"},
     true,
     false,
     false,
     {"legacy repair: NOT MEASURED (this executable has no bundle id)"},
     2},
    {"NotConfigured",
     {"rk", "--apply"},
     false,
     true,
     false,
     {"legacy repair: NOT MEASURED (configure() has not run)"},
     2},
    {"BothRuns",
     {"rk", "--dry-run", "--apply"},
     true,
     true,
     false,
     {"usage: --permission-repair-legacy --dry-run | --apply | --selftest"},
     2},
    {"NeitherRun",
     {"rk"},
     true,
     true,
     false,
     {"usage: --permission-repair-legacy --dry-run | --apply | --selftest"},
     2},
    {"NothingDeclared",
     {"rk", "--dry-run"},
     true,
     true,
     false,
     {"legacy repair (dry run, nothing changed): own id org.example.sample; legacy ids: none declared; "
      "LaunchServices dump: NOT READ; owned folders: none declared",
      "  nothing to do", "  0 copies found"}},
    {"DryRunLeavesTheOwnGrantToRunTime",
     {"rk", "--dry-run"},
     true,
     true,
     true,
     {"legacy repair (dry run, nothing changed): " + kRenamedHeader, kRenamedPlan[0], kRenamedPlan[1],
      "  note: own Screen Recording reset decided at run time: only when it reads off here and in a fresh "
      "process",
      "  1 copy found"}},
    {"ApplyCarriesThePlanOut",
     {"rk", "--apply"},
     true,
     true,
     true,
     {"legacy repair (apply): " + kRenamedHeader, kRenamedPlan[0], kRenamedPlan[1],
      "  reset ScreenCapture for this app (org.example.sample) so its prompt re-arms", "  1 copy found",
      "  legacy repair: could not build a stub for com.example.old; its grants were not reset",
      "  legacy repair: unregistered /Apps/Sample Beta.app  [com.other.beta, same name, other id] ok; the "
      "file is "
      "still there, remove it so Spotlight cannot register it again",
      "  legacy repair: reset own ScreenCapture (org.example.sample) so its prompt re-arms: ok"}},
    {"SelftestAloneOnAMachineWithoutTools",
     {"rk", "--dry-run", "--selftest"},
     false,
     false,
     false,
     {"legacy repair selftest: live arm NOT MEASURED (no lsregister on this Mac)",
      "legacy repair selftest OK (parser; plan: 3 branches + control; live decoy by id; by-name decoy + live "
      "control: NOT MEASURED; settings quit live: NOT MEASURED (could not build the decoy); owned folders "
      "live: "
      "NOT MEASURED (could not build the stubs))"}},
};

TEST(LegacyRepairCommandLine, LinesAndStatusForEachArgumentCombination) {
    for (const Case& c : kCases) {
        test::WizardSandbox sandbox;
        test::FakeTools tools(sandbox.root);
        if (!c.bundleID)
            sandbox.bundle.identifier.reset();
        KTPermission screen = test::samplePermission("screen");
        screen.settingsURL = Pane::screenRecording();
        KTWizardProduct product{.name = "Sample", .slug = "sample"};
        if (c.renamed) {
            product.legacyBundleIdentifiers = {"com.example.old"};
            product.ownedBundleFolders = {{"~/Owned", KTOwnedBundleFolder::Disposition::rename}};
            tools.install(MacTool::tccutil);
            tools.install(MacTool::launchServicesRegister);
            tools.answer(MacTool::launchServicesRegister, 0,
                         "-----\npath: /Apps/Sample Beta.app\nname: sample\nidentifier: com.other.beta\n");
        }
        if (c.configured)
            KTPermissionWizard::configure(product, KTWizardBrand{}, {screen}, false);
        testing::internal::CaptureStdout();
        const int status = KTLegacyIdentityRepair::runCLI(c.arguments);
        const QString output = QString::fromStdString(testing::internal::GetCapturedStdout());
        EXPECT_EQ(output, c.output.join('\n') + '\n') << c.name;
        EXPECT_EQ(status, c.status) << c.name;
    }
}

}  // namespace
}  // namespace rk
