// The rules a check decides by, the installable places, the held retry, the
// updater of a Linux build as built, which stays off and touches nothing; and
// the updater's log: where entries go, in which order, and what never
// happens to a log that is there already.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "support/Printers.h"
#include "support/QtApp.h"
#include "support/TempRoot.h"
#include "support/UpdaterReset.h"
#include "update/KTUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateHolds.h"
#include "update/UpdateLog.h"
#include "update/UpdateSwap.h"
#include "update/UpdateVersion.h"

namespace rk {
namespace {

using namespace KTUpdate;

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::core, "update_check_test"));
[[maybe_unused]] const bool kReset = test::resetUpdaterAfterEachTest();

TEST(UpdateCheck, TheVersionDecidesBeforeTheBuild) {
    const struct {
        QString feed;
        qint64 feedBuild;
        QString installed;
        qint64 installedBuild;
        bool newer;
    } rows[] = {
        {"1.4.2", 57, "1.4.2", 57, false}, {"1.4.2", 57, "1.4.2", 58, false},
        {"1.4.2", 58, "1.4.2", 57, true},  {"1.4.2", 57, "1.4.1", 60, true},
        {"1.4.1", 99, "1.4.2", 1, false},  {"1.10", 1, "1.9", 1, true},
        {"2.0b1", 5, "2.0", 5, false},
    };
    for (const auto& r : rows) {
        Appcast feed;
        feed.version = r.feed;
        feed.build = r.feedBuild;
        EXPECT_EQ(feedIsNewer(feed, {r.installed, r.installedBuild}), r.newer)
            << r.feed.toStdString() << " (" << r.feedBuild << ") against " << r.installed.toStdString();
    }
}

TEST(UpdateCheck, OldestSystemAndTimes) {
    EXPECT_TRUE(systemMeets("26.1", QVersionNumber(26, 1)));
    EXPECT_FALSE(systemMeets("26.1.1", QVersionNumber(26, 1)));
    EXPECT_TRUE(systemMeets("15", QVersionNumber(26, 0, 1)));
    EXPECT_TRUE(systemMeets("", std::nullopt)) << "an empty text asks for nothing";

    QLocale::setDefault(QLocale::c());
    const QDateTime now(QDate(2026, 3, 9), QTime(15, 7));
    EXPECT_EQ(checkStamp(now), "3:07pm");
    EXPECT_EQ(publishedSuffix(QDateTime(QDate(2026, 3, 9), QTime(9, 30)), now), ", published 9:30am");
    EXPECT_EQ(publishedSuffix(std::nullopt, now), "");
}

TEST(UpdateCheck, InstallsOnlyIntoApplications) {
    EXPECT_EQ(locationSelftest(), QStringList());
    EXPECT_TRUE(installsInPlace("~/Applications/Example.app", "/Users/someone"));
    EXPECT_TRUE(installsInPlace("/Applications/Example.app/", "/Users/someone"));
    EXPECT_FALSE(installsInPlace("/Applications/../tmp/Example.app", "/Users/someone"));
    EXPECT_EQ(shellQuoted("/Applications/It's Here.app"), "'/Applications/It'\\''s Here.app'");
}

// No failed version, no pause (the end-to-end runs pause one after three
// failed swaps); a held retry installs only when an update is pending,
// installing is allowed and nothing holds it.
TEST(UpdateCheck, PausesAndHeldRetries) {
    EXPECT_FALSE(pausedAfterFailedSwaps("1.4.2", std::nullopt, 3));
    for (const bool holds : {false, true}) {
        EXPECT_EQ(heldRetry(false, true, holds), HeldRetry::stop);
        EXPECT_EQ(heldRetry(true, false, holds), HeldRetry::stop);
    }
    EXPECT_EQ(heldRetry(true, true, true), HeldRetry::wait);
    EXPECT_EQ(heldRetry(true, true, false), HeldRetry::install);
}

// The retry looks at the holds again just before the swap: live work that
// starts after its first look keeps the update pending and the retry armed.
TEST(UpdateCheck, LiveWorkThatStartsAfterTheRetrysFirstLookHoldsTheUpdate) {
    const test::TempRoot root;  // no shell there: a swap could start no script
    const QTemporaryDir staged;
    targetBundlePath = "/Applications/Rowkeeper.app";
    setPendingUpdate({.staged = staged.path(), .version = "1.4.2", .notes = {}, .notesURL = {}});
    liveWorkRetryInterval = 0;
    const auto asked = std::make_shared<std::atomic<int>>(0);
    mustNotInstallNow = [asked] { return ++*asked == 2; };
    armLiveWorkRetry();
    test::spinUntil([&] { return *asked > 0; }, 2000);  // the retry has begun on the update queue
    q().sync([] {});
    EXPECT_EQ(*asked, 2);
    EXPECT_TRUE(hasPendingUpdate() && isLiveWorkRetryArmed());
    setPendingUpdate({});  // the next retry stops
}

// This test program lies in no bundle, as the app does when built here.
TEST(UpdateCheck, ALinuxBuildAsBuiltStaysOffAndTouchesNothing) {
    const QTemporaryDir dir;
    setLogPath(dir.filePath("updater.log"));
    appKey = "lark-spur";
    feedBase = "https://127.0.0.1:1";
    static QStringList said;
    said.clear();
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& line) { said << line; });
    start(std::chrono::milliseconds(0));
    qInstallMessageHandler(before);
    QCoreApplication::processEvents();
    logQ().sync([] {});
    EXPECT_EQ(said, QStringList{"[KTUpdate] not running from an .app bundle (" +
                                QCoreApplication::applicationFilePath() + "); updater off"});
    EXPECT_TRUE(qApp->findChildren<QTimer*>().isEmpty());
    EXPECT_FALSE(isChecking());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("updater.log")));
    EXPECT_EQ(swapAndRelaunch(dir.path(), Relaunch::inFront).error(), "not running from an .app bundle");
    // Off, it still names the version that runs: the build's own.
    EXPECT_TRUE(QRegularExpression(R"(^v\d+\.\d+\.\d+ \(\d+\)$)").match(currentVersionString()).hasMatch())
        << currentVersionString().toStdString();
}

class UpdateLog : public ::testing::Test {
protected:
    void SetUp() override { setLogPath(log); }

    // The file's lines once the queue is done, without the time stamps of the app's entries.
    QStringList entries() const {
        logQ().sync([] {});
        static const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d app: ",
                                              QRegularExpression::MultilineOption);
        return QString::fromUtf8(test::readFileAt(log)).remove(stamp).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    const QString log = dir.filePath("state/Rowkeeper/updater.log");
};

TEST_F(UpdateLog, EntriesKeepTheOrderOfTheCallsFromTwoThreads) {
    std::mutex order;
    QStringList called;
    const auto writer = [&](const QString& who) {
        for (int i = 0; i < 100; ++i) {
            const std::lock_guard lock(order);
            trace(who + QString::number(i));
            called << who + QString::number(i);
        }
    };
    std::thread first(writer, "a");
    std::thread second(writer, "b");
    first.join();
    second.join();
    EXPECT_EQ(entries(), called);
}

TEST_F(UpdateLog, AppendsToWhatStandsThereAndNeverReplacesIt) {
    trace("the first entry makes the folder and the file");
    ASSERT_EQ(entries(), QStringList{"the first entry makes the folder and the file"});
    test::writeFileAt(log, test::readFileAt(log) + "2026-03-01 09:30:00 shim: swapping\n");
    trace("a later one is appended");
    trace(QString("v1.4.2\n2026-03-01 09:30:00 shim: forged\u202e") + QChar(0));  // one line, as it reads
    EXPECT_EQ(entries(), QStringList({"the first entry makes the folder and the file",
                                      "2026-03-01 09:30:00 shim: swapping", "a later one is appended",
                                      "v1.4.2\ufffd2026-03-01 09:30:00 shim: forged\ufffd\ufffd"}));

    // A log that cannot be opened loses the entry, and stays what it was.
    const QString loop = dir.filePath("loop.log");
    QFile::link(loop, loop);
    setLogPath(loop);
    trace("lost");
    logQ().sync([] {});
    EXPECT_TRUE(QFileInfo(loop).isSymLink());
    ::unlink(QFile::encodeName(loop).constData());
}

}  // namespace
}  // namespace rk
