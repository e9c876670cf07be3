#include "app/model/Stats.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QTemporaryDir>

#include "support/FakeClock.h"

using namespace rk;
using namespace std::chrono_literals;

namespace {

class StatsTest : public ::testing::Test {
protected:
    QTemporaryDir base;
    test::FakeClock clock{1'700'000'000.25};

    UsageCounters::Options options(std::chrono::milliseconds delay = 1h) {
        return UsageCounters::Options{base.path(), &clock, delay};
    }
    QString folder() const { return QDir(base.path()).filePath("Rowkeeper"); }
    QString usageFile() const { return QDir(folder()).filePath("usage.json"); }

    QJsonObject readFile() const {
        QFile file(usageFile());
        file.open(QIODevice::ReadOnly);  // none: an empty object
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    // "usage.json" with these bytes, in the app's folder or another one.
    void writeFile(const QByteArray& bytes, QString dir = {}) {
        dir = dir.isEmpty() ? folder() : dir;
        QDir().mkpath(dir);
        QFile file(QDir(dir).filePath("usage.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

}  // namespace

TEST_F(StatsTest, ABurstOfRecordingsOfTheVocabularyIsOneEntryAndOneWrite) {
    UsageCounters counters(options(200ms));
    for (const char* name : {"page.moveIn", "movein.detected", "Launch", "page.start "})
        counters.record(name);  // not in the vocabulary: not counted
    // Each recording is stamped when the counters' worker takes it up; the
    // snapshots wait for that before the clock moves on.
    counters.record("launch");
    counters.snapshot();
    clock.advance(0.4);
    counters.record("launch");
    counters.snapshot();
    clock.advance(0.4);
    counters.record("launch");

    for (int i = 0; i < 1000 && counters.writes() < 1; ++i)
        std::this_thread::sleep_for(10ms);  // the counters' own delayed write, bounded
    ASSERT_EQ(counters.writes(), 1);
    std::this_thread::sleep_for(600ms);  // three delay periods: no further write comes
    EXPECT_EQ(counters.writes(), 1);

    const QJsonObject file = readFile();
    ASSERT_EQ(file.keys(), QStringList{"launch"});
    const QJsonObject entry = file["launch"].toObject();
    EXPECT_EQ(entry["count"].toInteger(), 3);
    EXPECT_NEAR(entry["first"].toDouble(), 1'700'000'000.25, 1e-6);
    EXPECT_NEAR(entry["last"].toDouble(), 1'700'000'001.05, 1e-6);
}

// A count stored as text restarts at one keeping its first time; a file of
// another shape counts from zero.
TEST_F(StatsTest, ABrokenFileLosesOnlyWhatIsBroken) {
    writeFile(R"({"launch":{"count":"7","first":1600000000.5,"last":1600000001},)"
              R"("page.done":{"count":4,"first":1600000000,"last":1600000002}})");
    UsageCounters counters(options());
    EXPECT_EQ(counters.snapshot(), (QMap<QString, qint64>{{"page.done", 4}}));
    counters.record("launch");
    counters.flush();
    const QJsonObject entry = readFile()["launch"].toObject();
    EXPECT_EQ(entry["count"].toInteger(), 1);
    EXPECT_DOUBLE_EQ(entry["first"].toDouble(), 1'600'000'000.5);
    EXPECT_DOUBLE_EQ(entry["last"].toDouble(), 1'700'000'000.25);
    EXPECT_EQ(readFile()["page.done"].toObject()["count"].toInteger(), 4);

    for (const char* bytes : {"not json", "[1,2]", R"({"launch":3})", ""}) {
        writeFile(bytes);
        UsageCounters fresh(options());
        fresh.record("launch");
        EXPECT_EQ(fresh.snapshot(), (QMap<QString, qint64>{{"launch", 1}})) << bytes;
    }
}

// The file is compact with sorted keys, and holds every recording made before.
TEST_F(StatsTest, SnapshotAndFlushComeAfterEveryEarlierRecording) {
    UsageCounters counters(options());
    for (int i = 0; i < 50; ++i)
        counters.record("select.ok");
    EXPECT_EQ(counters.snapshot().value("select.ok"), 50);
    counters.record("launch");
    counters.flush();  // from this thread, as at termination
    QFile file(usageFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(),
              "{\"launch\":{\"count\":1,\"first\":1700000000.25,\"last\":1700000000.25},"
              "\"select.ok\":{\"count\":50,\"first\":1700000000.25,\"last\":1700000000.25}}");
}

TEST_F(StatsTest, RecordingsFromManyThreadsAreAllCounted) {
    UsageCounters counters(options(5ms));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                counters.record("select.ok");
        });
    }
    for (int i = 0; i < 20; ++i)
        counters.flush();  // termination writes racing the recordings
    for (auto& thread : threads)
        thread.join();
    counters.flush();
    EXPECT_EQ(readFile()["select.ok"].toObject()["count"].toInteger(), 800);
}

// The file is replaced whole through a new file renamed over the old one, so
// a crash between or during writes leaves the old or the new file, never a
// truncated one. Written in place, the file would keep its inode.
TEST_F(StatsTest, EveryWriteReplacesTheFileWhole) {
    UsageCounters counters(options());
    const auto inodeAfterARecording = [&] {
        counters.record("launch");
        counters.flush();
        struct stat file {};
        return stat(QFile::encodeName(usageFile()).constData(), &file) == 0 ? file.st_ino : 0;
    };
    const auto first = inodeAfterARecording();
    ASSERT_NE(first, 0u);
    EXPECT_NE(inodeAfterARecording(), first);
    EXPECT_EQ(readFile()["launch"].toObject()["count"].toInteger(), 2);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{"usage.json"});
}

TEST_F(StatsTest, TheOldFolderMovesOnlyWhenTheNewOneIsAbsent) {
    const QString old = QDir(base.path()).filePath("Lark Spur");
    writeFile(R"({"launch":{"count":5,"first":1,"last":2}})", old);
    {
        UsageCounters counters(options());
        EXPECT_EQ(counters.file(), usageFile());
        EXPECT_FALSE(QFileInfo::exists(old));
        EXPECT_EQ(counters.snapshot().value("launch"), 5);  // its file came along
    }

    writeFile(R"({"launch":{"count":9,"first":1,"last":2}})", old);
    {
        UsageCounters counters(options());
        counters.file();
        EXPECT_TRUE(QFileInfo::exists(old));  // both present: the old one is left alone
        EXPECT_EQ(counters.snapshot().value("launch"), 5);
    }
}
