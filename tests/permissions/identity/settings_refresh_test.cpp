#include <gtest/gtest.h>
#include <spawn.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <csignal>

#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairAtStart.h"
#include "permissions/identity/SystemSettingsRefresh.h"
#include "support/PlatformFakes.h"
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

// Runs the event loop until `done` or `limitMs` have passed.
void pump(const std::function<bool()>& done, int limitMs = 10'000) {
    QElapsedTimer waited;
    waited.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    while (!done() && waited.elapsed() < limitMs);
}

// One started at the identity change is not quit (the identity self-test
// holds the other rules of when it is).
TEST(SystemSettingsRefresh, TheEpochOnlyMovesForwardAndOnlyALegacyProductQuits) {
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
}

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

TEST(SystemSettingsRefresh, QuitsRealProcessesPolitelyThenByForce) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    test::FakeWorkspace workspace;
    workspace.realProcesses = true;
    workspace.applications = {child("exec sleep 30", now)};
    EXPECT_EQ(Refresh::quit(Refresh::bundleID, now.addSecs(-60), 500ms, workspace), Result::notRunning);
    EXPECT_FALSE(workspace.isGone(workspace.applications[0]));
    EXPECT_EQ(Refresh::quit(Refresh::bundleID, now.addSecs(1), 2s, workspace), Result::quit);

    workspace.applications = {child("trap '' TERM; exec sleep 30", now)};
    EXPECT_EQ(Refresh::quit(Refresh::bundleID, std::nullopt, 500ms, workspace), Result::forced);
    EXPECT_TRUE(workspace.isGone(workspace.applications[0]));
}

// A product without a former identifier opens at once, whatever the epoch;
// a renamed one first quits the stale System Settings in the background.
TEST(SystemSettingsRefresh, OpeningAPageQuitsAStaleSystemSettingsFirst) {
    test::ensureApp(test::AppKind::core, "settings_refresh_test");
    test::WizardSandbox sandbox;
    test::FakeWorkspace workspace;
    test::ScopedCurrent<Workspace> installed(&workspace);
    workspace.applications = {{7, Refresh::bundleID, kEpoch.addSecs(-60)}};
    workspace.gone = {7};
    QStringList log;
    KTPermissionWizard::onDecision = [&](const QString& line) { log << line; };
    Refresh::recordIdentityChange("renamed", kEpoch);
    int opened = 0;
    Refresh::open(QUrl("x-apple.systempreferences:a"), KTWizardProduct{.slug = "renamed"}, [&] { ++opened; });
    EXPECT_EQ(opened, 1);

    Refresh::open(QUrl("x-apple.systempreferences:b"), kRenamed, [&] { ++opened; });
    EXPECT_EQ(opened, 1);
    pump([&] { return opened >= 2 && !log.isEmpty(); });
    EXPECT_EQ(workspace.opened,
              QList<QUrl>({QUrl("x-apple.systempreferences:a"), QUrl("x-apple.systempreferences:b")}));
    EXPECT_TRUE(Refresh::Status::shared().restartedAt().has_value());
    EXPECT_EQ(log,
              QStringList({"wizard: System Settings started before this app's identity changed; quit it in "
                           "the background before opening the pane: quit"}));
}

// The wizard's configuration keeps this launch as the epoch when its record
// was written under another identifier; a command-line question keeps nothing.
TEST(SystemSettingsRefresh, ConfiguringTheWizardRecordsAnIdentityChange) {
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
}

// Every guard returns without a word and without using up the launch's
// one run; a presentation with a permission off then runs the repair, once.
TEST(LegacyRepairAtStart, RunsOncePerLaunchWhenAPermissionReadsOff) {
    test::ensureApp(test::AppKind::core, "settings_refresh_test");
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
    pump([] { return false; }, 300);
    EXPECT_TRUE(lines.isEmpty());

    KTLegacyIdentityRepair::installWizardStartHook();
    KTPermissionWizard::configure(renamed, KTWizardBrand{}, off, false);
    KTPermissionWizard::present(true);
    KTPermissionWizard::present(true);
    pump([&] { return lines.size() >= 2; });
    QThreadPool::globalInstance()->waitForDone();
    pump([] { return false; }, 300);
    EXPECT_EQ(lines,
              QStringList({"legacy repair: 0 old copies found; plan: reset Camera for legacy id "
                           "com.example.old (no copy registered: via a stub bundle)",
                           "legacy repair: could not build a stub for com.example.old; its grants were not "
                           "reset"}));
}

}  // namespace
}  // namespace rk
