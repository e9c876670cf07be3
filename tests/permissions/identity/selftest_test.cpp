#include <gtest/gtest.h>

#include <QDir>

#include "permissions/identity/LegacyRepairSelftest.h"
#include "support/FakeLaunchServices.h"
#include "support/FakeTools.h"
#include "support/PlatformFakes.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

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
