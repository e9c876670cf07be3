// Finding old copies and their names, the System Settings refresh, and the
// repair's run at wizard start.

#include <gtest/gtest.h>
#include <spawn.h>

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <csignal>

#include "permissions/identity/BundleTwins.h"
#include "permissions/identity/LegacyRepairAtStart.h"
#include "permissions/identity/LegacyRepairDiscovery.h"
#include "permissions/identity/SystemSettingsRefresh.h"
#include "platform/Plist.h"
#include "support/FakeTools.h"
#include "support/QtApp.h"
#include "support/WizardFixture.h"

extern char** environ;

namespace rk {
namespace {

using namespace std::chrono_literals;
namespace Refresh = KTSystemSettingsRefresh;
using Result = Refresh::QuitResult;

const QDateTime kEpoch = QDateTime::fromSecsSinceEpoch(2'000'000'000, Qt::UTC);
const KTWizardProduct kRenamed{.slug = "renamed", .legacyBundleIdentifiers = {"com.example.old"}};

// A child of this test standing in for System Settings, once its script has
// set itself up and become `sleep`.
RunningApplication child(const char* script, const QDateTime& launched) {
    const char* argv[] = {"/bin/sh", "-c", script, nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    QFile name(QString("/proc/%1/comm").arg(pid));
    for (int tries = 0; tries < 500 && name.open(QIODevice::ReadOnly) && name.readAll() != "sleep\n";
         ++tries) {
        name.close();
        QThread::msleep(10);
    }
    return RunningApplication{pid, Refresh::bundleID, launched};
}

// One started at the identity change is not quit (the identity self-test
// holds the other rules of when it is).
TEST(SystemSettingsRefresh, TheEpochMovesForwardOnlyALegacyProductQuitsAndRealProcessesQuit) {
    EXPECT_TRUE(Refresh::shouldQuit(true, kEpoch, true, kEpoch.addSecs(-1)));
    EXPECT_FALSE(Refresh::shouldQuit(true, kEpoch, true, kEpoch));
    EXPECT_EQ(Refresh::quitResult("quit"), Result::quit);
    EXPECT_EQ(Refresh::quitResult("Quit"), std::nullopt);
    test::WizardSandbox sandbox;
    QSettings().setValue("KTSystemSettingsRefresh.identityEpoch.renamed", 0.0);
    EXPECT_EQ(Refresh::epoch("renamed"), std::nullopt);
    Refresh::recordIdentityChange("renamed", kEpoch);
    Refresh::recordIdentityChange("renamed", kEpoch.addSecs(-5));
    EXPECT_EQ(Refresh::epoch("renamed"), kEpoch);

    test::FakeWorkspace workspace;
    EXPECT_FALSE(Refresh::wouldQuitNow(kRenamed, workspace));
    workspace.applications = {{1, Refresh::bundleID, kEpoch.addSecs(10)}};
    EXPECT_FALSE(Refresh::wouldQuitNow(kRenamed, workspace));
    workspace.applications << RunningApplication{2, Refresh::bundleID};
    EXPECT_TRUE(Refresh::wouldQuitNow(kRenamed, workspace));
    EXPECT_FALSE(Refresh::wouldQuitNow(KTWizardProduct{.slug = "renamed"}, workspace));

    const QDateTime now = QDateTime::currentDateTimeUtc();
    test::FakeWorkspace real;
    real.realProcesses = true;
    real.applications = {child("exec sleep 30", now)};
    EXPECT_EQ(Refresh::quit(Refresh::bundleID, now.addSecs(-60), 500ms, real), Result::notRunning);
    EXPECT_FALSE(real.isGone(real.applications[0]));
    EXPECT_EQ(Refresh::quit(Refresh::bundleID, now.addSecs(1), 2s, real), Result::quit);
    real.applications = {child("trap '' TERM; exec sleep 30", now)};
    EXPECT_EQ(Refresh::quit(Refresh::bundleID, std::nullopt, 500ms, real), Result::forced);
    EXPECT_TRUE(real.isGone(real.applications[0]));
}

// A product without a former identifier opens at once, whatever the epoch;
// a renamed one first quits the stale System Settings in the background.
TEST(SystemSettingsRefresh, OpeningAPageQuitsAStaleSystemSettingsFirst) {
    test::ensureApp(test::AppKind::core, "discovery_test");
    test::WizardSandbox sandbox;
    test::FakeWorkspace workspace;
    test::ScopedCurrent<Workspace> installed(&workspace);
    workspace.applications = {{7, Refresh::bundleID, kEpoch.addSecs(-60)}};
    workspace.gone = {7};
    QStringList log;
    KTPermissionWizard::onDecision = [&](const QString& line) { log << line; };
    Refresh::recordIdentityChange("renamed", kEpoch);
    QList<bool> opened;  // the workspace's answers, as the follow-up gets them
    const auto then = [&](bool took) { opened << took; };
    Refresh::open(QUrl("x-apple.systempreferences:a"), KTWizardProduct{.slug = "renamed"}, then);
    EXPECT_EQ(opened, QList<bool>{true});

    workspace.opens = false;
    Refresh::open(QUrl("x-apple.systempreferences:b"), kRenamed, then);
    EXPECT_EQ(opened.size(), 1);
    test::spinUntil([&] { return opened.size() >= 2 && !log.isEmpty(); });
    EXPECT_EQ(opened, (QList<bool>{true, false}));
    EXPECT_EQ(workspace.opened,
              QList<QUrl>({QUrl("x-apple.systempreferences:a"), QUrl("x-apple.systempreferences:b")}));
    EXPECT_TRUE(Refresh::Status::shared().restartedAt().has_value());
    EXPECT_EQ(log,
              QStringList({"wizard: System Settings started before this app's identity changed; quit it in "
                           "the background before opening the pane: quit"}));
}

// The wizard's configuration keeps this launch as the epoch when its record
// was written under another identifier; a command-line question keeps nothing.
TEST(LegacyRepairAtStart, ConfiguringRecordsAnIdentityChangeAndTheRepairRunsOncePerLaunch) {
    for (const bool question : {true, false}) {
        test::WizardSandbox sandbox;
        sandbox.bundle.launched = kEpoch;
        if (question)
            sandbox.bundle.args << "--permission-check";
        sandbox.root.writeFile("/Users/anna/.renamed/permissions.json",
                               R"({"bundle_id": "com.example.old"})");
        Refresh::installIdentityChangeHook();
        KTPermissionWizard::configure(kRenamed, KTWizardBrand{}, {test::samplePermission("one")}, true);
        EXPECT_EQ(Refresh::epoch("renamed"), question ? std::nullopt : std::optional(kEpoch)) << question;
    }

    // Every guard returns without a word and without using up the launch's
    // one run; a presentation with a permission off then runs the repair, once.
    test::ensureApp(test::AppKind::core, "discovery_test");
    test::WizardSandbox sandbox;
    QStringList lines;
    KTPermissionWizard::onDecision = [&](const QString& line) {
        if (line.startsWith("legacy repair: "))
            lines << line;
    };
    const KTWizardProduct renamed{
        .name = "Sample", .slug = "sample", .legacyBundleIdentifiers = {"com.example.old"}};
    const QList<KTPermission> off{test::samplePermission("camera", false)};
    KTLegacyIdentityRepair::runIfNeeded(KTWizardProduct{}, off);
    KTLegacyIdentityRepair::runIfNeeded(renamed, {test::samplePermission("camera", true)});
    sandbox.bundle.args << "--permission-repair-legacy";
    KTLegacyIdentityRepair::runIfNeeded(renamed, off);
    sandbox.bundle.args = {"Sample"};
    sandbox.bundle.identifier.reset();
    KTLegacyIdentityRepair::runIfNeeded(renamed, off);
    sandbox.bundle.identifier = "org.example.sample";
    test::spinUntil([] { return false; }, 300);
    EXPECT_TRUE(lines.isEmpty());

    KTLegacyIdentityRepair::installWizardStartHook();
    KTPermissionWizard::configure(renamed, KTWizardBrand{}, off, false);
    KTPermissionWizard::present(true);
    KTPermissionWizard::present(true);
    test::spinUntil([&] { return lines.size() >= 2; });
    QThreadPool::globalInstance()->waitForDone();
    test::spinUntil([] { return false; }, 300);
    EXPECT_EQ(lines,
              QStringList({"legacy repair: 0 old copies found; plan: reset Camera for legacy id "
                           "com.example.old (no copy registered: via a stub bundle)",
                           "legacy repair: could not build a stub for com.example.old; its grants were not "
                           "reset"}));
}

using Pane = KTPermissionProbes::Pane;
using namespace KTLegacyIdentityRepair;

// A record before the first separator without an identifier, a registry
// number at the end of a path and one inside it, an indented nested path, a
// later path, tabs around a value, an extension bundle, a record without an
// identifier and one with an empty identifier.
const QString kDump =
    "path: /Early/Lacks.app\n"
    "--------------------------------------------------------------------------------\n"
    "path:                       /Apps/Old App.app (0x1a2b)\n"
    "name:                       Old App\n"
    "    path: /Apps/Old App.app/Contents/Nested.app\n"
    "displayName:                OLD APP\n"
    "identifier:                 com.example.old\n"
    "path:                       /ignored/second.app\n"
    "-----\n"
    "path: /Apps/Mid (0x12) Name.app\nidentifier: com.other.mid\nname:\t Mid\t\nname:\n"
    "-----\npath: /Apps/Old App.app/Contents/PlugIns/E.appex\nidentifier: com.example.old.ext\n"
    "-----\npath: /Apps/NoID.app\n"
    "-----\npath: /Own/Self.app\nname: mid\nidentifier: com.other.self\n"
    "-----\npath: /Apps/Empty.app\nidentifier:";

// A bundle at a logical path whose Info.plist holds `info`, or this identifier and name.
void bundleWith(const test::TempRoot& root, const QString& path, const PlistValue::Dictionary& info) {
    root.writeFile(path + "/Contents/Info.plist", Plist::toXml(PlistValue(info)));
}
void bundle(const test::TempRoot& root, const QString& path, const QString& id, const QString& name = "") {
    bundleWith(root, path, {{"CFBundleIdentifier", id}, {"CFBundleName", name}});
}

TEST(LegacyRepairDiscovery, PagesTheRegisterToolOldCopiesAndTheirNames) {
    const QString security = "x-apple.systempreferences:com.apple.preference.security?Privacy_";
    const std::tuple<QUrl, QString, std::optional<QString>> cases[] = {
        {Pane::screenRecording(), "ScreenCapture", "ScreenCapture"},
        {Pane::accessibility(), "Accessibility", "Accessibility"},
        {Pane::inputMonitoring(), "ListenEvent", "ListenEvent"},
        {Pane::fullDisk(), "AllFiles", "SystemPolicyAllFiles"},
        {Pane::microphone(), "Microphone", "Microphone"},
        {Pane::camera(), "Camera", "Camera"},
        {Pane::automation(), "Automation", "AppleEvents"},
        {QUrl(security + "Photos"), "Photos", std::nullopt},
    };
    for (const auto& [link, page, service] : cases) {
        EXPECT_EQ(link.toString(), security + page);
        EXPECT_EQ(KTLegacyIdentityRepair::tccService(link), service) << page.toStdString();
        EXPECT_EQ(Pane::isKnown(link), page != "Photos") << page.toStdString();
    }
    EXPECT_EQ(Pane::loginItems(), QUrl("x-apple.systempreferences:com.apple.LoginItems-Settings.extension"));
    EXPECT_TRUE(Pane::isKnown(Pane::loginItems()) && !KTLegacyIdentityRepair::tccService(Pane::loginItems()));

    const auto on = [](const QUrl& link) { return KTPermission{.settingsURL = link}; };
    EXPECT_EQ(KTLegacyIdentityRepair::services(
                  {on(Pane::fullDisk()), on(Pane::loginItems()), on(Pane::camera()), on(Pane::fullDisk())}),
              QStringList({"SystemPolicyAllFiles", "Camera"}));

    {
        test::TempRoot bare;
        EXPECT_EQ(KTLegacyIdentityRepair::lsregisterPath(), std::nullopt);
    }
    test::TempRoot root;
    test::FakeTools tools(root);
    root.writeFile(SystemPaths::toolLocation(MacTool::launchServicesRegister), "not a program");
    const QString versioned = tools.install(MacTool::launchServicesRegisterVersioned);
    EXPECT_EQ(KTLegacyIdentityRepair::lsregisterPath(), versioned);

    // The dump keeps only app records. Former identities are found through the
    // registry and the dump, same names through the dump; never the app's own
    // path or identifier; each path once.
    EXPECT_EQ(parseDump(kDump),
              (QList<DumpRecord>{{"/Apps/Old App.app", "com.example.old", {"Old App", "OLD APP"}},
                                 {"/Apps/Mid (0x12) Name.app", "com.other.mid", {"Mid"}},
                                 {"/Own/Self.app", "com.other.self", {"mid"}},
                                 {"/Apps/Empty.app", "", {}}}));
    test::FakeAppRegistry registry;
    registry.pathsOf["com.example.old"] = {"/Apps/Z Old.app", "/Apps/../Apps/Old App.app"};
    registry.pathsOf["org.example.own"] = {"/Apps/Own.app"};
    const AppIdentity app{.legacyIDs = {"com.example.old", "org.example.own"},
                          .displayNames = {"MID", ""},
                          .ownID = "org.example.own",
                          .ownPath = "/Own/./Self.app"};
    EXPECT_EQ(discover(app, kDump, registry),
              (QList<Copy>{{"/Apps/Mid (0x12) Name.app", "com.other.mid", false},
                           {"/Apps/Old App.app", "com.example.old", true},
                           {"/Apps/Z Old.app", "com.example.old", true}}));
    EXPECT_EQ(discover(app, std::nullopt, registry).size(), 2);

    for (const char* path :
         {"/Users/anna/Owned/A.app", "/Users/anna/Owned/Self.app", "/Elsewhere/Old.app", "/Root.app"})
        bundle(root, path, "com.example.old");
    bundle(root, "/Users/anna/Owned/Named.app", "com.other", "rowkeeper");
    bundle(root, "/Users/anna/Owned/Own.app", "org.example.own");
    root.makeFolder("/Users/anna/Owned/Broken.app");
    QFile::link(root.disk("/Elsewhere/Old.app"), root.disk("/Users/anna/Owned/Link.app"));
    QFile::link(root.disk("/Users/anna/Owned"), root.disk("/Linked"));
    using Disposition = KTOwnedBundleFolder::Disposition;
    const QList<KTOwnedBundleFolder> folders{{"~/Owned", Disposition::rename},
                                             {"~/../..", Disposition::remove},
                                             {"/Missing", Disposition::remove},
                                             {"/Linked/", Disposition::remove}};
    const AppIdentity owner{.legacyIDs = {"com.example.old"},
                            .displayNames = {"Rowkeeper"},
                            .ownID = "org.example.own",
                            .ownPath = "/Linked/Self.app"};
    const auto found = [](const QString& name, Disposition disposition) {
        return OwnedAction{"/Users/anna/Owned/" + name, name == "A.app" ? "com.example.old" : "com.other",
                           disposition, "/Users/anna/Owned"};
    };
    EXPECT_EQ(
        discoverOwned(folders, owner),
        (QList<OwnedAction>{found("A.app", Disposition::rename), found("Named.app", Disposition::rename),
                            found("A.app", Disposition::remove), found("Named.app", Disposition::remove)}));
    // Inside means strictly below.
    EXPECT_TRUE(isInside("/a/b", "/a") && isInside("/a/b/c", "/a/"));
    EXPECT_FALSE(isInside("/a", "/a") || isInside("/a/", "/a") || isInside("/ab", "/a"));

    // The names a bundle is listed under, and other copies under its identifier.
    bundleWith(root, "/A/foo.app", {{"CFBundleDisplayName", "Foo"}, {"CFBundleName", "FOO"}});
    bundleWith(root, "/A/Rowkeeper 2.app",
               {{"CFBundleDisplayName", "Rowkeeper Beta"}, {"CFBundleName", "Rowkeeper"}});
    bundleWith(root, "/A/Tool.app", {{"CFBundleDisplayName", ""}, {"CFBundleName", 3}});
    const std::tuple<QString, QStringList, QString> names[] = {
        {"/A/foo.app", {"Foo"}, "Foo"},
        {"/A/Rowkeeper 2.app", {"Rowkeeper Beta", "Rowkeeper", "Rowkeeper 2"}, "Rowkeeper Beta"},
        {"/A/Tool.app", {"Tool"}, ""},
        {"/A/Bare.app", {"Bare"}, "Bare"},
    };
    for (const auto& [path, listed, shown] : names) {
        EXPECT_EQ(KTBundleTwins::listedNames(path), listed) << path.toStdString();
        EXPECT_EQ(KTBundleTwins::displayName(path), shown) << path.toStdString();
    }
    bundleWith(root, "/Applications/App.app", {{"CFBundleName", "App"}});
    bundleWith(root, "/Old/App.app", {{"CFBundleDisplayName", "App Old"}});
    root.makeFolder("/Volumes/Image/app.app");
    root.makeFolder("/Links");
    QFile::link(root.disk("/Applications/App.app"), root.disk("/Links/App.app"));
    test::FakeAppRegistry twinsRegistry;
    twinsRegistry.pathsOf["org.app"] = {"/Applications/App.app", "/Links/App.app", "/Old/App.app",
                                        "/Gone/App.app", "/Volumes/Image/app.app"};

    const QStringList twins = KTBundleTwins::scan(QString("org.app"), "/Applications/App.app", twinsRegistry);
    EXPECT_EQ(twins, QStringList({"App Old", "App", "app"}));
    EXPECT_EQ(KTBundleTwins::scan(std::nullopt, "/Applications/App.app", twinsRegistry), QStringList());

    test::FakeAppBundle self;
    self.path = "/Applications/App.app";
    EXPECT_EQ(KTBundleTwins::names("Other", twins, self), QStringList({"App", "App Old"}));
    EXPECT_EQ(KTBundleTwins::names("app", twins, self), QStringList({"App Old"}));
    EXPECT_EQ(KTBundleTwins::names("App", {}, self), QStringList());
}

}  // namespace
}  // namespace rk
