// The model's actions: changing page, opening a page in System Settings,
// the answer about AI explanations, and what views are told.

#include <gtest/gtest.h>

#include <QSettings>

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

}  // namespace
