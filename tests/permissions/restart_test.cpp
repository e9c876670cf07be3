// Restarting for a grant only a fresh copy sees: the fresh-process check against
// this binary as the child, restartOrPresent, the restart record, the relaunch.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "permissions/FreshProcessCheck.h"
#include "permissions/Relaunch.h"
#include "permissions/StaleGrant.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

constexpr char kModeVariable[] = "RK_FRESH_HELPER";
constexpr char kPidFileVariable[] = "RK_FRESH_PIDFILE";

void say(const QByteArray& text) {
    std::fputs(text.constData(), stdout);
    std::fflush(stdout);
}

// What the child does, by mode. Runs before main and never returns to it.
int playHelper(const QString& mode) {
    const QStringList args = HostAppBundle().arguments();
    if (args.size() != 2 || args[1] != "--permission-check")
        return 9;
    std::fputs("noise on standard error\n", stderr);
    if (mode == "check") {
        say("starting up\n{ not the answer\n");
        KTPermissionWizard::configure(
            KTWizardProduct{.name = "Sampler", .slug = "sampler"}, KTWizardBrand{},
            {test::samplePermission("held", true), test::samplePermission("missing")}, false);
    }
    if (mode == "check" || mode == "unconfigured")
        return KTPermissionWizard::runPermissionCheckCLI();
    if (mode == "last-wins")
        say("{\"a\":false}\n{\"a\":true}\ntrailing words\n");
    if (mode == "flood") {
        for (int i = 0; i < 3000; ++i)
            say(QByteArray(1000, 'x') + "\n");
        say("{\"a\":true}\n");
    }
    if (mode == "hang") {
        test::writeFileAt(qEnvironmentVariable(kPidFileVariable), QByteArray::number(qint64(::getpid())));
        say("{\"a\":true}\n");
        ::sleep(60);
    }
    return 0;
}

[[maybe_unused]] const bool helperGate = [] {
    if (const char* mode = std::getenv(kModeVariable))
        ::_exit(playHelper(QString::fromUtf8(mode)));
    return true;
}();

class FreshProcessCheck : public testing::Test {
protected:
    void TearDown() override { ::unsetenv(kModeVariable); }
    std::optional<KTGrantMap> askAs(const char* mode) {
        ::setenv(kModeVariable, mode, 1);
        return KTFreshProcessCheck::ask(QFile::symLinkTarget("/proc/self/exe"));
    }
};

using test::samplePermission;

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(2'000'000'000, Qt::UTC);
const KTGrantMap kAllHeld{{"screen", true}, {"access", true}, {"manual", true}};

// A wizard of three permissions ("manual" never restarts) with a stand-in
// window and restart hook, and what they saw.
struct Restarts {
    Restarts() {
        test::ensureApplication();
        test::FakeWizardWindow::install();
        KTPermission noRestart = samplePermission("manual");
        noRestart.restartsOnStaleGrant = false;
        KTPermissionWizard::configure(KTWizardProduct{.name = "Sampler", .slug = "sampler"}, KTWizardBrand{},
                                      {samplePermission("screen"), samplePermission("access"), noRestart},
                                      false);
        KTPermissionWizard::onDecision = [this](const QString& line) { log << line; };
        KTPermissionWizard::staleGrantRestart = [this](const QStringList& ids) {
            restartedFor << ids;
            return hookSucceeds;
        };
    }
    bool ask(const QStringList& outstanding, const std::optional<KTGrantMap>& fresh, bool presentOtherwise) {
        const bool restarted = KTPermissionWizard::restartOrPresent(outstanding, fresh, presentOtherwise,
                                                                    kNow, sandbox.root.paths());
        QCoreApplication::processEvents();
        return restarted;
    }
    int recorded() const { return int(KTStaleGrantRestarts::read("sampler", sandbox.root.paths()).size()); }

    test::WizardSandbox sandbox;
    QStringList log;
    QList<QStringList> restartedFor;
    bool hookSucceeds = true;
};

// The answer is the last line that begins with a brace, when it is an object of booleans.
TEST_F(FreshProcessCheck, AnswersAHangingChildAndRestartsOnlyWhenAFreshCopyHoldsEveryGrant) {
    const std::optional<KTGrantMap> held = KTGrantMap{{"a", true}};
    EXPECT_EQ(askAs("last-wins"), held);
    EXPECT_EQ(askAs("flood"), held);
    for (const char* mode : {"silent", "unconfigured"})
        EXPECT_EQ(askAs(mode), std::nullopt) << mode;
    EXPECT_FALSE(KTFreshProcessCheck::ask("/nonexistent/app").has_value());
    EXPECT_EQ(KTFreshProcessCheck::parseAnswer("{\"a\":true}\r\n"), (KTGrantMap{{"a", true}}));
    EXPECT_EQ(KTFreshProcessCheck::parseAnswer("{}\n"), KTGrantMap{});
    for (const char* bad :
         {" {\"a\":true}\n", "{\"a\":true}\n{\"b\":null}\n", "{\"a\":1}\n", "{\"a\":tru\n", "[true]\n"})
        EXPECT_FALSE(KTFreshProcessCheck::parseAnswer(bad).has_value()) << bad;

    QTemporaryDir dir;
    ::setenv(kPidFileVariable, dir.filePath("pid").toUtf8().constData(), 1);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(askAs("hang").has_value());
    EXPECT_TRUE(clock.elapsed() >= 4000 && clock.elapsed() < 6000) << clock.elapsed();
    ::unsetenv(kPidFileVariable);

    const pid_t child = pid_t(test::readFileAt(dir.filePath("pid")).toLongLong());
    ASSERT_GT(child, 0);
    // A zombie would still answer; a reaped child is gone.
    EXPECT_TRUE(::kill(child, 0) == -1 && errno == ESRCH);

    test::WizardSandbox sandbox;
    sandbox.bundle.executable = QFile::symLinkTarget("/proc/self/exe");
    EXPECT_FALSE(KTPermissionWizard::freshProcessGrants);
    KTPermissionWizard::enableFreshProcessCheck();
    ASSERT_TRUE(KTPermissionWizard::freshProcessGrants && KTPermissionWizard::staleGrantRestart);
    ::setenv(kModeVariable, "check", 1);
    EXPECT_EQ(KTPermissionWizard::freshProcessGrants(), (KTGrantMap{{"held", true}, {"missing", false}}));

    // A restart is tried (the hook called, the restart recorded) only when a
    // fresh copy holds every outstanding grant and each may restart; otherwise
    // the wizard is presented, as it is when the tried restart fails to start.
    // (The budget's and the answer's own rules are the stale-grant self-test's
    // cases, which the wizard's command-line test runs.)

    const QString off =
        "wizard: a fresh copy holds %1 but an automatic restart is off for it (restartsOnStaleGrant "
        "false, or a restart did not hold on this Mac); asking instead";
    struct Case {
        const char* name;
        QStringList outstanding{"screen"};
        std::optional<KTGrantMap> fresh = kAllHeld;
        bool didNotHold = false, noHook = false, hookFails = false, blocked = false;
        bool tried = false, restarts = false;
        QString log{};
    };
    const Case cases[] = {
        {.name = "all held", .outstanding = {"screen", "access"}, .tried = true, .restarts = true},
        {.name = "no answer", .fresh = std::nullopt},
        {.name = "restart off for one", .outstanding = {"screen", "manual"}, .log = off.arg("screen,manual")},
        {.name = "did not hold", .outstanding = {"access"}, .didNotHold = true, .log = off.arg("access")},
        {.name = "no hook", .noHook = true},
        {.name = "hook fails", .hookFails = true, .tried = true},
        // A file where the dot-folder should be: the budget could not be kept.
        {.name = "cannot be recorded",
         .blocked = true,
         .log = "wizard: a fresh copy holds screen but the restart cannot be recorded; asking instead"},
    };
    for (const Case& c : cases) {
        Restarts r;
        if (c.didNotHold)
            QSettings().setValue("KTPermissionWizard.restartDidNotHold.sampler", c.outstanding);
        if (c.noHook)
            KTPermissionWizard::staleGrantRestart = nullptr;
        if (c.blocked)
            r.sandbox.root.writeFile("/Users/anna/.sampler", "in the way");
        r.hookSucceeds = !c.hookFails;
        EXPECT_EQ(r.ask(c.outstanding, c.fresh, true), c.restarts) << c.name;
        EXPECT_EQ(KTPermissionWizard::isPresented(), !c.restarts) << c.name;
        EXPECT_EQ(r.restartedFor, c.tried ? QList<QStringList>{c.outstanding} : QList<QStringList>{})
            << c.name;
        EXPECT_EQ(r.recorded(), c.tried ? 1 : 0) << c.name;
        EXPECT_EQ(r.log, c.log.isEmpty() ? QStringList{} : QStringList{c.log}) << c.name;
    }
    Restarts quiet;
    EXPECT_FALSE(quiet.ask({"screen"}, std::nullopt, false));
    EXPECT_FALSE(KTPermissionWizard::isPresented());
}

// Times far ahead (a wild number, or a clock that was wrong when they were
// written) would otherwise count for ever and switch automatic restarts off
// for good; a time at most one window ahead still counts, so setting the
// clock back a little does not free the budget. Old times are dropped.
TEST(RestartOrPresent, OnlyRecentTimesAtMostOneWindowAheadCountAndAreKept) {
    const auto at = [](qint64 seconds) { return QByteArray::number(kNow.toSecsSinceEpoch() + seconds); };
    const std::tuple<const char*, QByteArray, int> cases[] = {
        {"a wild number and a time a year ahead", "[1e300, " + at(365 * 24 * 3600) + "]", 0},
        {"numbers no date can hold", "[-1e300, 1e19, -1e19]", 0},
        {"601 s ahead", "[" + at(601) + "]", 0},
        {"600 s ahead (control)", "[" + at(600) + "]", 1},
        {"300 s ahead and 30 s ago (control)", "[" + at(300) + ", " + at(-30) + "]", 2},
        {"old times", "[" + at(-5000) + ", " + at(-4000) + ", " + at(-30) + "]", 1},
        {"not numbers", R"(["soon", null, {}])", 0},
        {"not JSON", "{{{", 0},
    };
    Restarts r;
    const SystemPaths& paths = r.sandbox.root.paths();
    for (const auto& [label, restarts, counted] : cases) {
        r.sandbox.root.writeFile("/Users/anna/.sampler/stale-grant-restarts.json",
                                 "{\"restarts\": " + restarts + "}");
        EXPECT_EQ(KTStaleGrantRestarts::recentCount(KTStaleGrantRestarts::read("sampler", paths), kNow),
                  counted)
            << label;
        ASSERT_TRUE(KTStaleGrantRestarts::record("sampler", kNow, paths)) << label;
        EXPECT_EQ(r.recorded(), counted + 1) << label << ": only what counts is kept";
    }
}

TEST(RestartOrPresent, RestartsRecordedFarAheadDoNotSpendTheBudget) {
    Restarts r;
    const QByteArray inAYear = QByteArray::number(kNow.toSecsSinceEpoch() + 365 * 24 * 3600);
    r.sandbox.root.writeFile("/Users/anna/.sampler/stale-grant-restarts.json",
                             "{\"restarts\": [1e300, " + inAYear + ", " + inAYear + "]}");
    EXPECT_TRUE(r.ask({"screen"}, kAllHeld, false));
    EXPECT_EQ(r.recorded(), 1);
}

TEST(Relaunch, WhenTheSuccessorCannotStartTheAppKeepsRunning) {
    Restarts r;
    int terminations = 0;
    const KTRelaunch::Environment environment{.shell = "/nonexistent/sh",
                                              .executable = "/Applications/Sample.app/Contents/MacOS/Sample",
                                              .processID = 4242,
                                              .terminate = [&] { ++terminations; }};
    EXPECT_FALSE(KTPermissionWizard::relaunchApp(true, environment));
    QCoreApplication::processEvents();
    EXPECT_EQ(terminations, 0);
    EXPECT_EQ(r.log, QStringList{"wizard: could not start a new copy of the app (background relaunch); this "
                                 "copy keeps running"});
}

TEST(Relaunch, TheSuccessorWaitsForTheOldProcessThenStartsTheAppOnce) {
    test::ensureApplication();
    int terminations = 0;
    QTemporaryDir dir;
    // A folder name that would run a command if it were spliced into the script.
    const QString folder = dir.filePath("it's a $(touch pwned) `touch pwned2` dir");
    const QString marker = dir.filePath("marker");
    ASSERT_TRUE(
        test::writeFileAt(folder + "/app", "#!/bin/sh\necho started >> '" + marker.toUtf8() + "'\n", true));

    QProcess oldApp;
    oldApp.start("/bin/sleep", {"2"});
    ASSERT_TRUE(oldApp.waitForStarted());
    ASSERT_TRUE(KTPermissionWizard::relaunchApp(false, {.shell = "/bin/sh",
                                                        .executable = folder + "/app",
                                                        .processID = oldApp.processId(),
                                                        .terminate = [&] { ++terminations; }}));
    EXPECT_EQ(terminations, 1);

    QThread::msleep(1500);
    EXPECT_FALSE(QFile::exists(marker)) << "started before the old process ended";
    ASSERT_TRUE(oldApp.waitForFinished(5000));  // ends and is reaped
    test::spinUntil([&] { return QFile::exists(marker); }, 8000);
    QThread::msleep(500);
    EXPECT_EQ(test::readFileAt(marker), "started\n");
    for (const QString& pwned :
         {QDir::current().filePath("pwned"), QDir::current().filePath("pwned2"), dir.filePath("pwned")})
        EXPECT_FALSE(QFile::exists(pwned)) << pwned.toStdString();
}

}  // namespace
}  // namespace rk
