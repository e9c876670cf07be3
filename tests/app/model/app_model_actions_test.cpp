// The model's actions: changing page, opening a page in System Settings,
// the answer about AI explanations, and what views are told; explanations:
// which items the Login Items page offers, the items waiting for consent,
// runs that overlap or finish after the person moved on; and the usage
// counters and their file.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>

#include "app/model/Fixtures.h"
#include "app/model/Stats.h"
#include "support/FakeClock.h"
#include "support/ModelFakes.h"

using namespace rk;
using namespace std::chrono_literals;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

class ActionsTest : public ::testing::Test {
protected:
    void SetUp() override { world.settings.showPage(SimulatedPage::other); }
    qint64 count(const QString& event) { return world.counters->snapshot().value(event); }
    ModelWorld world;
};

TEST_F(ActionsTest, PageVisitsAreCountedAndMoveInVisitsRaiseTheEpoch) {
    AppModel& m = world.startModel();
    for (Step step : Step::allCases())
        m.go(step);
    m.go(Step::moveIn);
    m.go(Step::done);
    EXPECT_EQ(m.moveInEpoch(), 2);
    const auto counts = world.counters->snapshot();
    EXPECT_EQ(counts,
              (QMap<QString, qint64>{
                  {"page.start", 1}, {"page.accessibility", 1}, {"page.loginItems", 1}, {"page.done", 2}}))
        << "\"page.moveIn\" is not in the vocabulary";
}

TEST_F(ActionsTest, MacNameAndConsentStoredInUserDefaultsAndCounted) {
    EXPECT_EQ(AppModel(world.seams).macName(), "Anna's Mac");
    world.seams.hostName = QString();
    EXPECT_EQ(AppModel(world.seams).macName(), "This Mac");

    AppModel& m = world.startModel();
    EXPECT_EQ(m.aiConsent(), 0);
    m.setConsent(false);
    EXPECT_EQ(m.aiConsent(), 2);
    m.setConsent(true);
    EXPECT_EQ(count("ai.consent.no"), 1);
    EXPECT_EQ(count("ai.consent.yes"), 1);
    // It lives in user defaults, for the next launch.
    EXPECT_EQ(QSettings(world.seams.defaultsFile, QSettings::IniFormat).value("aiConsent").toInt(), 1);
    EXPECT_EQ(AppModel(world.seams).aiConsent(), 1);
}

const QString kAgents = QStringLiteral("/Users/anna/Library/LaunchAgents/");

ArchivedItem agent(const QString& name, const QString& label) {
    return agentItem(name, label, kAgents + label + ".plist", true, "/Users/anna/bin/" + label);
}

class ExplainTest : public ::testing::Test {
protected:
    void SetUp() override {
        OnDeviceModel::setCurrent(&onDevice);
        onDevice.isAvailable = false;
    }
    void TearDown() override { OnDeviceModel::setCurrent(nullptr); }

    static QStringList keys(const QList<ExplainItem>& items) {
        QStringList out;
        for (const ExplainItem& item : items)
            out << item.key;
        return out;
    }

    FakeOnDeviceModel onDevice;
    ModelWorld world;
};

TEST_F(ExplainTest, UnknownItemsWaitForConsentAndTheRunStillStarts) {
    // Which items are offered is the explanation page's rule (tests/explain).
    world.writeBtm({agent("Qvorn Agent", "com.qvorn.agent"), agent("Dropbox Helper", "com.dropbox.helper")});
    AppModel& m = world.startModel(Step::loginItems);

    EXPECT_EQ(keys(m.explainItems()), (QStringList{"8.com.qvorn.agent", "8.com.dropbox.helper"}));
    EXPECT_EQ(keys(m.explainPending()), QStringList{"8.com.qvorn.agent"});
    ASSERT_EQ(world.explain.jobs.size(), 1);
    world.explain.finish(0);
    EXPECT_EQ(m.explanations().value("8.com.dropbox.helper").source, Explanation::Source::rules);
    EXPECT_FALSE(m.explanations().contains("8.com.qvorn.agent"));
    EXPECT_TRUE(m.explainNote()->contains("did not run for 1 item ")) << m.explainNote()->toStdString();
    EXPECT_EQ(keys(m.explainPending()), QStringList{"8.com.qvorn.agent"}) << "a run leaves the pending list";
    // The Accessibility page clears the note and runs nothing.
    m.go(Step::accessibility);
    EXPECT_FALSE(m.explainNote());
    EXPECT_EQ(world.explain.jobs.size(), 1);
}

// Consent given runs the page again; a stored answer, yes or no, asks nothing.
TEST_F(ExplainTest, NothingPendsWhenTheRulesKnowEveryItemOrConsentWasGiven) {
    world.writeBtm({agent("Dropbox Helper", "com.dropbox.helper")});
    AppModel& m = world.startModel(Step::loginItems);
    EXPECT_TRUE(m.explainPending().isEmpty());
    EXPECT_EQ(world.explain.jobs.size(), 1);

    world.writeBtm({agent("Qvorn Agent", "com.qvorn.agent")});
    m.readStores();
    m.go(Step::loginItems);
    ASSERT_FALSE(m.explainPending().isEmpty());
    m.setConsent(true);
    EXPECT_TRUE(m.explainPending().isEmpty());
    EXPECT_EQ(world.explain.jobs.size(), 3);
    m.setAiConsent(2);
    m.go(Step::loginItems);
    EXPECT_TRUE(m.explainPending().isEmpty());
    EXPECT_EQ(world.explain.jobs.size(), 4);
}

TEST_F(ExplainTest, OverlappingRunsEachMergeTheirOwnAnswers) {
    world.writeBtm({agent("Dropbox Helper", "com.dropbox.helper")});
    AppModel& m = world.startModel(Step::loginItems);
    world.writeBtm({agent("Zoom Daemon", "us.zoom.daemon")});
    m.readStores();
    m.go(Step::loginItems);
    ASSERT_EQ(world.explain.jobs.size(), 2);
    world.explain.finish(1);
    m.go(Step::start);  // a run that finishes after the person moved on still lands
    world.explain.finish(0);
    EXPECT_TRUE(m.explanations().contains("8.com.dropbox.helper"));
    EXPECT_TRUE(m.explanations().contains("8.us.zoom.daemon"));
}

TEST_F(ExplainTest, DemoOffersTheMadeUpItemsWithoutAsking) {
    AppModel& m = world.startModel();
    m.setDemo(true);
    m.go(Step::loginItems);
    EXPECT_EQ(m.explainItems(), Fixtures::explainItems(Step::loginItems));
    EXPECT_TRUE(m.explainPending().isEmpty());
    EXPECT_EQ(world.explain.jobs.size(), 1);
}

// ---- The usage counters -------------------------------------------------------------

class StatsTest : public ::testing::Test {
protected:
    QTemporaryDir base;
    test::FakeClock clock{1'700'000'000.25};

    UsageCounters::Options options(std::chrono::milliseconds delay = 1h) {
        return UsageCounters::Options{base.path(), &clock, delay};
    }
    QString folder() const { return QDir(base.path()).filePath("Rowkeeper"); }
    QString usageFile() const { return QDir(folder()).filePath("usage.json"); }

    QJsonObject readFile() const { return QJsonDocument::fromJson(readFileAt(usageFile())).object(); }
    // "usage.json" with these bytes, in the app's folder or another one.
    void writeFile(const QByteArray& bytes, const QString& dir = {}) {
        ASSERT_TRUE(writeFileAt(QDir(dir.isEmpty() ? folder() : dir).filePath("usage.json"), bytes));
    }
};

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
    // A count at the largest the file keeps stays there rather than becoming one it would not read.
    writeFile(R"({"launch":{"count":9000000000000000}})");
    UsageCounters full(options());
    full.record("launch");
    EXPECT_EQ(full.snapshot(), (QMap<QString, qint64>{{"launch", 9'000'000'000'000'000}}));
}

// The file is compact with sorted keys, and holds every recording made
// before. It is replaced whole through a new file renamed over the old one,
// so a crash between or during writes leaves the old or the new file, never
// a truncated one. Written in place, the file would keep its inode.
TEST_F(StatsTest, SnapshotAndFlushComeAfterEveryEarlierRecordingAndReplaceTheFile) {
    UsageCounters counters(options());
    for (int i = 0; i < 50; ++i)
        counters.record("select.ok");
    EXPECT_EQ(counters.snapshot().value("select.ok"), 50);
    const auto inodeAfterARecording = [&] {
        counters.record("launch");
        counters.flush();  // from this thread, as at termination
        struct stat file {};
        return stat(QFile::encodeName(usageFile()).constData(), &file) == 0 ? file.st_ino : 0;
    };
    const auto first = inodeAfterARecording();
    ASSERT_NE(first, 0u);
    EXPECT_EQ(readFileAt(usageFile()).toStdString(),
              "{\"launch\":{\"count\":1,\"first\":1700000000.25,\"last\":1700000000.25},"
              "\"select.ok\":{\"count\":50,\"first\":1700000000.25,\"last\":1700000000.25}}");
    EXPECT_NE(inodeAfterARecording(), first);
    EXPECT_EQ(readFile()["launch"].toObject()["count"].toInteger(), 2);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{"usage.json"});
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

}  // namespace
