// The model's actions: changing page, opening a page in System Settings,
// the answer about AI explanations, and what views are told; explanations:
// which items the Login Items page offers, the items waiting for consent,
// runs that overlap or finish after the person moved on.

#include <gtest/gtest.h>

#include <QSettings>

#include "app/model/Fixtures.h"
#include "support/ModelFakes.h"

using namespace rk;
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

// The page opens (the Accessibility page's road is in main_road_test), is
// counted, the window is placed beside it, and the next reading replaces
// the sentence with what System Settings shows.
TEST_F(ActionsTest, OpenPaneOpensThePageAndSaysSo) {
    int placements = 0;
    world.seams.placeWindow = [&] { ++placements; };
    AppModel& m = world.startModel();
    m.go(Step::loginItems);
    m.openPane();
    EXPECT_EQ(m.phase(), Phase::working);
    EXPECT_EQ(world.settings.openedLinks(), QList<QUrl>{url(Pane::loginItems)});
    EXPECT_EQ(count("open.loginItems"), 1);
    EXPECT_EQ(placements, 1);
    world.beatAfter(0.5);
    EXPECT_NE(m.phase(), Phase::working);
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

TEST_F(ActionsTest, ViewsAreToldOfEachChange) {
    AppModel& m = world.startModel();
    QStringList told;
    QObject::connect(&m, &AppModel::stepChanged, [&] { told << "step"; });
    QObject::connect(&m, &AppModel::phaseChanged, [&] { told << "phase"; });
    QObject::connect(&m, &AppModel::bannerChanged, [&] { told << "banner"; });
    QObject::connect(&m, &AppModel::decisionChanged, [&] { told << "decision"; });
    int changed = 0;
    QObject::connect(&m, &AppModel::changed, [&] { ++changed; });

    m.go(Step::accessibility);
    m.openPane();
    EXPECT_EQ(told, (QStringList{"step", "phase", "banner"}));
    told.clear();
    m.go(Step::accessibility);  // the same page again: only its state resets
    EXPECT_EQ(told, (QStringList{"phase", "banner"}));
    EXPECT_EQ(changed, 5);
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
    ArchivedItem off = agent("Old Thing", "com.acme.oldthing");
    off.disposition = 0;
    ArchivedItem app = agent("Some App", "com.acme.someapp");
    app.type = 0x2;
    ArchivedItem own = agent("Rowkeeper Helper", "com.rowkeeper.helper");
    own.teamIdentifier = QStringLiteral("K4TQ9XR2VM");
    world.writeBtm({agent("Qvorn Agent", "com.qvorn.agent"), agent("Dropbox Helper", "com.dropbox.helper"),
                    off, app, own, agent("Qvorn Again", "com.qvorn.agent")});
    AppModel& m = world.startModel();
    m.go(Step::loginItems);

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
    AppModel& m = world.startModel();
    m.go(Step::loginItems);
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
    AppModel& m = world.startModel();
    m.go(Step::loginItems);
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

}  // namespace
