// The identity repair's plan lines, its actions against fake tools, its
// command line and its self-test with live arms.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "permissions/identity/LegacyRepairActions.h"
#include "permissions/identity/LegacyRepairCommandLine.h"
#include "permissions/identity/LegacyRepairPlan.h"
#include "permissions/identity/LegacyRepairSelftest.h"
#include "permissions/identity/SystemSettingsRefresh.h"
#include "platform/Plist.h"
#include "support/FakeLaunchServices.h"
#include "support/FakeTools.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using namespace KTLegacyIdentityRepair;
using Disposition = KTOwnedBundleFolder::Disposition;

const QString kOld = "com.example.old";
const Copy kRegistered{.path = "/Apps/Old.app", .bundleID = kOld, .declared = true};
const Copy kSameName{.path = "/Apps/Twin.app", .bundleID = "com.other.twin"};
const OwnedAction kOwned{.path = "/Owned/Old.app", .bundleID = kOld, .folder = "/Owned"};
const QString kStubReset =
    "reset ScreenCapture for legacy id com.example.old (no copy registered: via a stub bundle)";
const QString kRunTime =
    "note: own Screen Recording reset decided at run time: only when it reads off here and in a fresh "
    "process";

struct Case {
    const char* name;
    Findings findings;
    QStringList lines;
    bool empty = false;
};

// The three branches per former identifier, each with the own Screen
// Recording grant off, on and undecided, and with other service lists.
const Case kCases[] = {
    {"NoFormerIdentifierOnlyCopiesAndOwnedCopies",
     {.copies = {kSameName}, .services = {"ScreenCapture"}, .ownScreenOff = true, .ownedActions = {kOwned}},
     {"unregister /Apps/Twin.app  [com.other.twin, same name, other id]",
      "rename /Owned/Old.app  [com.example.old, in a folder this app owns]"}},
    {"RegisteredCopyIsResetInPlaceAndOwnGrantWhenOff",
     {.legacyIDs = {kOld}, .copies = {kRegistered}, .services = {"ScreenCapture"}, .ownScreenOff = true},
     {"reset ScreenCapture for legacy id com.example.old",
      "unregister /Apps/Old.app  [com.example.old, legacy id]",
      "reset ScreenCapture for this app (org.example.new) so its prompt re-arms"}},
    {"UnregisteredGoesViaAStubAndAWorkingGrantIsKept",
     {.legacyIDs = {kOld}, .services = {"ScreenCapture"}, .ownScreenOff = false},
     {kStubReset, "note: own Screen Recording reads on (here or in a fresh process): not reset"}},
    {"UndecidedOwnGrantIsLeftToRunTime",
     {.legacyIDs = {kOld}, .services = {"ScreenCapture"}},
     {kStubReset, kRunTime}},
    {"StubAlreadyDoneLeavesOnlyNotes",
     {.legacyIDs = {kOld}, .services = {"ScreenCapture"}, .stubDone = {kOld}},
     {"note: com.example.old: no copy registered and its grants were already reset on an earlier launch",
      kRunTime},
     true},
    {"NoServicesResetTheDefaultsButNeverTheOwnGrant",
     {.legacyIDs = {kOld}, .copies = {kRegistered}, .ownScreenOff = true},
     {"reset ScreenCapture,Accessibility,AppleEvents for legacy id com.example.old",
      "unregister /Apps/Old.app  [com.example.old, legacy id]"}},
    {"WithoutScreenRecordingTheOwnGrantIsNotDecided",
     {.legacyIDs = {kOld}, .services = {"Camera", "Microphone"}, .ownScreenOff = true},
     {"reset Camera,Microphone for legacy id com.example.old (no copy registered: via a stub bundle)"}},
};

const QString kStubs = "/Users/anna/Library/Caches/rk/tcc-stub/";

void bundle(const test::TempRoot& root, const QString& path, const QString& id) {
    root.writeFile(path + "/Contents/Info.plist",
                   Plist::toXml(PlistValue(PlistValue::Dictionary{{"CFBundleIdentifier", id}})));
}

TEST(LegacyRepairPlan, EachBranchRendersItsLinesAndTheResetsApply) {
    for (const Case& c : kCases) {
        const Plan planned = plan(c.findings);
        EXPECT_EQ(planned.lines("org.example.new"), c.lines) << c.name;
        EXPECT_EQ(planned.isEmpty(), c.empty) << c.name;
    }

    // In-place resets, and stubs that fail to build, fail to register or work:
    // every stub is removed, only the working one is remembered, and only
    // resets made in place or for the app itself are cleared.
    test::WizardSandbox sandbox;
    test::FakeTools tools(sandbox.root);
    for (const MacTool tool : {MacTool::tccutil, MacTool::codesign, MacTool::launchServicesRegister})
        tools.install(tool);
    tools.answerCall(MacTool::tccutil, 2, 1);
    tools.answerCall(MacTool::codesign, 1, 1);
    tools.answerCall(MacTool::launchServicesRegister, 1, 1);
    const Plan resets{
        .legacyResets = {{"com.example.old", {"ScreenCapture", "Accessibility", "AppleEvents"}, false},
                         {"com.example.a", {"Camera"}, true},
                         {"com.example/b", {"Camera"}, true},
                         {"com.example.c", {"Camera"}, true}},
        .ownResets = {"ScreenCapture", "Microphone"},
    };
    QStringList log;
    int rechecks = 0;
    const QSet<QString> cleared = apply(
        resets, "org.example.new", "rk", [&] { return ++rechecks > 1; },
        [&](const QString& line) { log << line; });

    EXPECT_EQ(log,
              QStringList({
                  "legacy repair: reset ScreenCapture,Accessibility,AppleEvents for com.example.old: FAILED",
                  "legacy repair: could not build a stub for com.example.a; its grants were not reset",
                  "legacy repair: stub for com.example/b did not register; its grants were not reset",
                  "legacy repair: reset Camera for com.example.c via a stub: ok",
                  "legacy repair: own ScreenCapture now reads on; not reset",
                  "legacy repair: reset own Microphone (org.example.new) so its prompt re-arms: ok",
              }));
    EXPECT_EQ(tools.calls(), QStringList({
                                 "tccutil reset ScreenCapture com.example.old",
                                 "tccutil reset Accessibility com.example.old",
                                 "tccutil reset AppleEvents com.example.old",
                                 "codesign --force -s - " + kStubs + "com.example.a.app",
                                 "codesign --force -s - " + kStubs + "com.example-b.app",
                                 "lsregister -f -R " + kStubs + "com.example-b.app",
                                 "lsregister -u " + kStubs + "com.example-b.app",
                                 "codesign --force -s - " + kStubs + "com.example.c.app",
                                 "lsregister -f -R " + kStubs + "com.example.c.app",
                                 "tccutil reset Camera com.example.c",
                                 "lsregister -u " + kStubs + "com.example.c.app",
                                 "tccutil reset Microphone org.example.new",
                             }));
    EXPECT_EQ(cleared, QSet<QString>{"Microphone"});
    EXPECT_EQ(stubDone("rk"), QSet<QString>{"com.example.c"});
    EXPECT_TRUE(QDir(sandbox.root.disk(kStubs)).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    EXPECT_TRUE(KTSystemSettingsRefresh::epoch("rk").has_value());
}

// Copies are unregistered; copies in the owned folder are renamed or
// removed, unless their identifier changed, would lead the rename out of
// the folder, or they lie deeper than the folder itself.
TEST(LegacyRepairActions, CopiesAndCopiesInOwnedFolders) {
    test::WizardSandbox sandbox;
    const test::TempRoot& root = sandbox.root;
    test::FakeTools tools(root);
    tools.install(MacTool::launchServicesRegister);
    tools.answerCall(MacTool::launchServicesRegister, 1, 1);
    const QString old = "com.example.old";
    const QString escaping = "x/../../../Victim";
    for (const QString name : {"Old", "Drop", "Sub/Deep"})
        bundle(root, "/Owned/" + name + ".app", old);
    bundle(root, "/Owned/Gone.app", "com.example.new");
    bundle(root, "/Owned/Evil.app", escaping);
    root.writeFile("/Victim.disabled", "keep");
    root.writeFile("/Owned/Old.app.com.example.old.disabled/earlier", "");
    const auto owned = [&](const QString& name, const QString& id, Disposition disposition) {
        return OwnedAction{"/Owned/" + name + ".app", id, disposition, "/Owned"};
    };
    const Plan plan{
        .copies = {{"/Owned/Old.app", old, true}, {"/Apps/Twin.app", "com.other", false}},
        .ownedActions = {owned("Gone", old, Disposition::rename),
                         owned("Evil", escaping, Disposition::rename),
                         owned("Sub/Deep", old, Disposition::remove), owned("Old", old, Disposition::rename),
                         owned("Drop", old, Disposition::remove)},
    };
    QStringList log;
    EXPECT_TRUE(
        apply(
            plan, "org.example.new", "rk", [] { return true; }, [&](const QString& line) { log << line; })
            .isEmpty());

    const QString spotlight = "a copy in a folder this app owns, so Spotlight cannot register it again";
    EXPECT_EQ(log,
              QStringList({
                  "legacy repair: unregistered /Owned/Old.app  [com.example.old, legacy id] FAILED",
                  "legacy repair: unregistered /Apps/Twin.app  [com.other, same name, other id] ok; the file "
                  "is still there, remove it so Spotlight cannot register it again",
                  "legacy repair: /Owned/Gone.app no longer carries com.example.old; left alone",
                  "legacy repair: /Owned/Evil.app no longer carries x/../../../Victim; left alone",
                  "legacy repair: could not remove /Owned/Sub/Deep.app: it does not lie directly inside the "
                  "folder this app owns",
                  "legacy repair: renamed to /Owned/Old.app.com.example.old.disabled /Owned/Old.app "
                  "[com.example.old], " +
                      spotlight,
                  "legacy repair: removed /Owned/Drop.app [com.example.old], " + spotlight,
              }));
    EXPECT_EQ(tools.calls(), QStringList({"lsregister -u /Owned/Old.app", "lsregister -u /Apps/Twin.app",
                                          "lsregister -u /Owned/Old.app", "lsregister -u /Owned/Drop.app"}));
    for (const QString kept :
         {"/Victim.disabled", "/Owned/Evil.app", "/Owned/Gone.app", "/Owned/Sub/Deep.app",
          "/Owned/Old.app.com.example.old.disabled/Contents/Info.plist"})
        EXPECT_TRUE(QFileInfo::exists(root.disk(kept))) << kept.toStdString();
    for (const QString gone :
         {"/Owned/Old.app", "/Owned/Drop.app", "/Owned/Old.app.com.example.old.disabled/earlier"})
        EXPECT_FALSE(QFileInfo::exists(root.disk(gone))) << gone.toStdString();
    EXPECT_TRUE(KTSystemSettingsRefresh::epoch("rk").has_value());
}

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
TEST(LegacyRepairCommandLine, AnswersAndStatusAndTheSelftestWithItsLiveArmsMeasured) {
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

    // With a register tool, a signing tool and a workspace that launches apps,
    // every live arm runs, and every bundle it built is gone afterwards.
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
