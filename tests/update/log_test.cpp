// The updater's log: where entries go, in which order, and what never
// happens to a log that is there already.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "support/Printers.h"
#include "support/QtApp.h"
#include "update/KTUpdate.h"
#include "update/UpdateLog.h"

namespace rk {
namespace {

using namespace KTUpdate;

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::core, "update_log_test"));

class UpdateLog : public ::testing::Test {
protected:
    void SetUp() override { setLogPath(log); }

    // The file's lines once the queue is done, without the time stamps of the app's entries.
    QStringList entries() const {
        logQ().sync([] {});
        QFile file(log);
        file.open(QIODevice::ReadOnly);
        static const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d app: ",
                                              QRegularExpression::MultilineOption);
        return QString::fromUtf8(file.readAll()).remove(stamp).split('\n', Qt::SkipEmptyParts);
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
    QFile existing(log);
    existing.open(QIODevice::Append);
    existing.write("2026-03-01 09:30:00 shim: swapping\n");
    existing.close();
    trace("a later one is appended");
    EXPECT_EQ(entries(), QStringList({"the first entry makes the folder and the file",
                                      "2026-03-01 09:30:00 shim: swapping", "a later one is appended"}));

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
