// Explanations in the model: which items the Login Items page offers, the
// items waiting for the person's consent, runs that overlap or finish after
// the person moved on, and the note when no model could run.

#include <gtest/gtest.h>

#include "app/model/Fixtures.h"
#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

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
