// Restarting for a grant that only a fresh copy sees: the rules of
// restartOrPresent, the record of recent restarts, and the relaunch itself.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include "permissions/PermissionWizard.h"
#include "permissions/Relaunch.h"
#include "permissions/StaleGrant.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

using test::samplePermission;

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(2'000'000'000, Qt::UTC);

class RestartOrPresent : public testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        test::FakeWizardWindow::install();
        KTPermission noRestart = samplePermission("manual");
        noRestart.restartsOnStaleGrant = false;
        KTPermissionWizard::configure(
            KTWizardProduct{.name = "Sampler", .slug = "sampler"}, KTWizardBrand{},
            {samplePermission("screen"), samplePermission("accessibility"), noRestart}, false);
        KTPermissionWizard::onDecision = [this](const QString& line) { logLines << line; };
        KTPermissionWizard::staleGrantRestart = [this](const QStringList& ids) {
            restartedFor << ids;
            return hookSucceeds;
        };
    }

    bool ask(const QStringList& outstanding, const std::optional<KTGrantMap>& fresh,
             bool presentOtherwise = false) {
        const bool restarted = KTPermissionWizard::restartOrPresent(outstanding, fresh, presentOtherwise,
                                                                    kNow, sandbox.root.paths());
        QCoreApplication::processEvents();
        return restarted;
    }
    int recordedRestarts() { return int(KTStaleGrantRestarts::read("sampler", sandbox.root.paths()).size()); }
    void recordRestartsAgo(std::initializer_list<int> secondsAgo) {
        for (int ago : secondsAgo)
            KTStaleGrantRestarts::record("sampler", kNow.addSecs(-ago), sandbox.root.paths());
    }

    test::WizardSandbox sandbox;
    QStringList logLines;
    QList<QStringList> restartedFor;
    bool hookSucceeds = true;
};

const KTGrantMap kAllHeld{{"screen", true}, {"accessibility", true}, {"manual", true}};

TEST_F(RestartOrPresent, AFreshCopyHoldingEveryOutstandingGrantRestartsAndIsRecorded) {
    EXPECT_TRUE(ask({"screen", "accessibility"}, kAllHeld));
    EXPECT_EQ(restartedFor, (QList<QStringList>{{"screen", "accessibility"}}));
    EXPECT_EQ(recordedRestarts(), 1);
    EXPECT_TRUE(logLines.isEmpty());
}

TEST_F(RestartOrPresent, TheRestartBudgetIsTwoIn600Seconds) {
    struct Case {
        std::initializer_list<int> earlier;
        bool restarts;
    };
    const Case cases[] = {
        {{}, true}, {{30}, true}, {{30, 599}, false}, {{30, 600}, true}, {{700, 900}, true}};
    for (const Case& c : cases) {
        QFile::remove(sandbox.dotFile("sampler", "stale-grant-restarts.json"));
        restartedFor.clear();
        recordRestartsAgo(c.earlier);
        EXPECT_EQ(ask({"screen"}, kAllHeld), c.restarts) << "earlier restarts: " << c.earlier.size();
        EXPECT_EQ(restartedFor.size(), c.restarts ? 1 : 0);
    }
}

// Times far ahead (a wild number, or a clock that was wrong when they were
// written) would otherwise count for ever and switch automatic restarts off
// for good; a time at most one window ahead still counts, so setting the
// clock back a little does not free the budget. Old times are dropped.
TEST_F(RestartOrPresent, OnlyRecentTimesAtMostOneWindowAheadCountAndAreKept) {
    struct Case {
        const char* label;
        QByteArray restarts;
        int counted;
    };
    const auto at = [](qint64 seconds) { return QByteArray::number(kNow.toSecsSinceEpoch() + seconds); };
    const Case cases[] = {
        {"a wild number and a time a year ahead", "[1e300, " + at(365 * 24 * 3600) + "]", 0},
        {"numbers no date can hold", "[-1e300, 1e19, -1e19]", 0},
        {"601 s ahead", "[" + at(601) + "]", 0},
        {"600 s ahead (control)", "[" + at(600) + "]", 1},
        {"300 s ahead and 30 s ago (control)", "[" + at(300) + ", " + at(-30) + "]", 2},
        {"old times", "[" + at(-5000) + ", " + at(-4000) + ", " + at(-30) + "]", 1},
        {"not numbers", R"(["soon", null, {}])", 0},
        {"not JSON", "{{{", 0},
    };
    const QString record = "/Users/anna/.sampler/stale-grant-restarts.json";
    for (const Case& c : cases) {
        sandbox.root.writeFile(record, "{\"restarts\": " + c.restarts + "}");
        const QList<QDateTime> times = KTStaleGrantRestarts::read("sampler", sandbox.root.paths());
        EXPECT_EQ(KTStaleGrantRestarts::recentCount(times, kNow), c.counted) << c.label;
        ASSERT_TRUE(KTStaleGrantRestarts::record("sampler", kNow, sandbox.root.paths())) << c.label;
        EXPECT_EQ(recordedRestarts(), c.counted + 1) << c.label << ": only what counts is kept";
    }
}

TEST_F(RestartOrPresent, RestartsRecordedFarAheadDoNotSpendTheBudget) {
    const QByteArray inAYear = QByteArray::number(kNow.toSecsSinceEpoch() + 365 * 24 * 3600);
    sandbox.root.writeFile("/Users/anna/.sampler/stale-grant-restarts.json",
                           "{\"restarts\": [1e300, " + inAYear + ", " + inAYear + "]}");
    EXPECT_TRUE(ask({"screen"}, kAllHeld));
    EXPECT_EQ(recordedRestarts(), 1);
}

TEST_F(RestartOrPresent, NothingHappensUnlessTheFreshCopyHoldsEveryOutstandingGrant) {
    EXPECT_FALSE(ask({"screen"}, std::nullopt));
    EXPECT_FALSE(ask({}, kAllHeld));
    EXPECT_FALSE(ask({"screen", "accessibility"}, KTGrantMap{{"screen", true}, {"accessibility", false}}));
    EXPECT_FALSE(ask({"screen"}, KTGrantMap{{"accessibility", true}}));
    EXPECT_TRUE(restartedFor.isEmpty());
    EXPECT_TRUE(logLines.isEmpty());
    EXPECT_EQ(recordedRestarts(), 0);
}

TEST_F(RestartOrPresent, ARestartOffForThePermissionIsLoggedInstead) {
    EXPECT_FALSE(ask({"screen", "manual"}, kAllHeld));
    EXPECT_TRUE(restartedFor.isEmpty());
    EXPECT_EQ(logLines,
              QStringList{"wizard: a fresh copy holds screen,manual but an automatic restart is off for it "
                          "(restartsOnStaleGrant false, or a restart did not hold on this Mac); asking "
                          "instead"});
    EXPECT_EQ(recordedRestarts(), 0);
}

TEST_F(RestartOrPresent, ARestartThatDidNotHoldBeforeIsNotTriedAgain) {
    QSettings().setValue("KTPermissionWizard.restartDidNotHold.sampler", QStringList{"accessibility"});
    EXPECT_FALSE(ask({"accessibility"}, kAllHeld));
    EXPECT_TRUE(restartedFor.isEmpty());
    EXPECT_EQ(logLines.size(), 1);
    EXPECT_TRUE(ask({"screen"}, kAllHeld));
}

TEST_F(RestartOrPresent, WithoutTheHookNothingRestartsAndTheWizardIsPresentedWhenAsked) {
    KTPermissionWizard::staleGrantRestart = nullptr;
    EXPECT_FALSE(ask({"screen"}, kAllHeld, false));
    EXPECT_FALSE(KTPermissionWizard::isPresented());
    EXPECT_EQ(recordedRestarts(), 0);
    EXPECT_FALSE(ask({"screen"}, kAllHeld, true));
    EXPECT_TRUE(KTPermissionWizard::isPresented());
}

TEST_F(RestartOrPresent, ARestartThatCannotBeRecordedIsNotStarted) {
    // A file where the dot-folder should be: the budget could not be kept.
    sandbox.root.writeFile("/Users/anna/.sampler", "in the way");
    EXPECT_FALSE(ask({"screen"}, kAllHeld));
    EXPECT_TRUE(restartedFor.isEmpty());
    ASSERT_EQ(logLines.size(), 1);
    EXPECT_TRUE(logLines[0].contains("cannot be recorded"));
}

TEST_F(RestartOrPresent, AFailedHookPresentsTheWizardButAStartedRestartDoesNot) {
    EXPECT_TRUE(ask({"screen"}, kAllHeld, true));
    EXPECT_FALSE(KTPermissionWizard::isPresented());
    hookSucceeds = false;
    EXPECT_FALSE(ask({"screen"}, kAllHeld, true));
    EXPECT_TRUE(KTPermissionWizard::isPresented());
}

class Relaunch : public testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        KTPermissionWizard::onDecision = [this](const QString& line) { logLines << line; };
    }
    test::WizardSandbox sandbox;
    QStringList logLines;
};

TEST_F(Relaunch, WhenTheSuccessorCannotStartTheAppKeepsRunning) {
    int terminations = 0;
    const KTRelaunch::Environment environment{.shell = "/nonexistent/sh",
                                              .executable = "/Applications/Sample.app/Contents/MacOS/Sample",
                                              .processID = 4242,
                                              .terminate = [&] { ++terminations; }};
    EXPECT_FALSE(KTPermissionWizard::relaunchApp(true, environment));
    QCoreApplication::processEvents();
    EXPECT_EQ(terminations, 0);
    ASSERT_EQ(logLines.size(), 1);
    EXPECT_TRUE(logLines[0].contains("this copy keeps running"));
}

TEST_F(Relaunch, TheSuccessorWaitsForTheOldProcessThenStartsTheAppOnce) {
    QTemporaryDir dir;
    // A folder name that would run a command if it were spliced into the script.
    const QString folder = dir.filePath("it's a $(touch pwned) `touch pwned2` dir");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString marker = dir.filePath("marker");
    const QString app = folder + "/app";
    QFile script(app);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho started >> '" + marker.toUtf8() + "'\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess oldApp;
    oldApp.start("/bin/sleep", {"2"});
    ASSERT_TRUE(oldApp.waitForStarted());

    int terminations = 0;
    const KTRelaunch::Environment environment{
        .shell = "/bin/sh", .executable = app, .processID = oldApp.processId(), .terminate = [&] {
            ++terminations;
        }};
    ASSERT_TRUE(KTPermissionWizard::relaunchApp(false, environment));
    EXPECT_EQ(terminations, 1);

    QThread::msleep(1500);
    EXPECT_FALSE(QFile::exists(marker)) << "started before the old process ended";
    ASSERT_TRUE(oldApp.waitForFinished(5000));  // ends and is reaped

    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(marker) && clock.elapsed() < 8000)
        QThread::msleep(50);
    QThread::msleep(500);
    QFile started(marker);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll(), "started\n");
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("pwned")));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("pwned2")));
    EXPECT_FALSE(QFile::exists(dir.filePath("pwned")));
}

}  // namespace
}  // namespace rk
