// The scan tick: what a tick does on each kind of page, the store throttle,
// one Accessibility snapshot at a time, hand-backs that arrive too late, demo
// mode and the timer itself.

#include <gtest/gtest.h>

#include <cerrno>

#include "app/Fixtures.h"
#include "finder/Decide.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

const QString kGhost = QStringLiteral("com.example.Ghost");
const QString kEditor = QStringLiteral("com.vendor.Editor");

TccDbRow accessRow(const QString& client) {
    return TccDbRow{client, 0, QStringLiteral("kTCCServiceAccessibility"), 2};
}

// The Accessibility page with one leftover (Ghost) and one live app (Editor),
// already open in System Settings.
class TickTest : public ::testing::Test {
protected:
    void SetUp() override {
        world.installApp(kEditor, "/Applications/Editor.app");
        world.writeTcc({accessRow(kGhost), accessRow(kEditor)});
        world.settings.setAccessibilityRows(
            {{"Ghost", SimulatedIcon::blankDocument, kGhost}, {"Editor", SimulatedIcon::colourful, kEditor}});
        world.settings.showPage(SimulatedPage::accessibility);
        world.settings.setFrontmost(SimulatedSettings::settingsBundleID());
    }

    ModelWorld world;
};

bool hasRemoveFinding(const Decision& decision, const QString& id) {
    return std::any_of(decision.findings.begin(), decision.findings.end(),
                       [&](const Finding& f) { return f.id == id && f.verdict == Finding::Verdict::remove; });
}

class NonPageStep : public TickTest, public ::testing::WithParamInterface<Step::Value> {};

TEST_P(NonPageStep, OnlyProbesGrantsAndHidesTheOverlay) {
    AppModel& m = world.startModel();
    // Get the overlay up on the Accessibility page first.
    m.go(Step::accessibility);
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    ASSERT_TRUE(m.overlay().isShowing());

    m.go(GetParam());
    m.overlay().show(m.overlay().view().marks, std::nullopt, world.settings.windowFrame());
    ASSERT_TRUE(m.overlay().isShowing());
    const auto lastRead = m.lastStoreRead();
    const qsizetype axJobs = world.ax.size();
    const int reads = world.settings.totalReads();
    world.settings.trusted = false;

    world.beatAfter(10);
    EXPECT_FALSE(m.overlay().isShowing());
    EXPECT_FALSE(m.grants().accessibility) << "the grants are probed";
    EXPECT_EQ(m.lastStoreRead(), lastRead) << "no store read";
    EXPECT_EQ(world.ax.size(), axJobs) << "no snapshot";
    EXPECT_EQ(world.settings.totalReads(), reads);
    EXPECT_TRUE(m.decision().findings.isEmpty());
    EXPECT_EQ(m.phase(), Phase::idle);
    EXPECT_EQ(m.banner(), QString());
}

INSTANTIATE_TEST_SUITE_P(Steps, NonPageStep, ::testing::Values(Step::start, Step::moveIn, Step::done));

struct Throttle {
    const char* name;
    double seconds;  // since the last store read
    bool reads;
};

class StoreThrottle : public TickTest, public ::testing::WithParamInterface<Throttle> {};

TEST_P(StoreThrottle, ReadsOnlyWhenMoreThanThreeSecondsOld) {
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    const auto started = m.lastStoreRead();
    ASSERT_TRUE(started);
    world.beatAfter(GetParam().seconds);
    if (GetParam().reads) {
        EXPECT_EQ(m.lastStoreRead(), world.clock.now());
    } else {
        EXPECT_EQ(m.lastStoreRead(), started);
    }
}

INSTANTIATE_TEST_SUITE_P(Boundary, StoreThrottle,
                         ::testing::Values(Throttle{"exactly3", 3.0, false},
                                           Throttle{"justPast3", 3.001, true}, Throttle{"half", 0.5, false}),
                         [](const auto& info) { return info.param.name; });

TEST_F(TickTest, GainingFullDiskAccessReadsTheStoresAtOnceEvenOnStart) {
    FakeFileProbe probe;
    probe.openErrors.insert(world.root.disk(TCCStore::userPath(world.root.paths())), EACCES);
    FileProbe::setCurrent(&probe);
    AppModel& m = world.startModel();
    EXPECT_FALSE(m.grants().fullDisk);
    ASSERT_TRUE(m.tcc());
    EXPECT_FALSE(m.tcc()->ok());

    FileProbe::setCurrent(nullptr);
    world.beatAfter(0.5);
    EXPECT_EQ(m.step(), Step::start);
    EXPECT_TRUE(m.grants().fullDisk);
    EXPECT_TRUE(m.tcc()->ok());
    EXPECT_EQ(m.lastStoreRead(), world.clock.now());
}

TEST_F(TickTest, GrantsArePublishedOnlyWhenTheyChange) {
    AppModel& m = world.startModel();
    int published = 0;
    QObject::connect(&m, &AppModel::grantsChanged, [&] { ++published; });
    world.beat();
    world.beat();
    EXPECT_EQ(published, 0);
    world.photo.permitted = false;
    world.beat();
    world.beat();
    EXPECT_EQ(published, 1);
    EXPECT_FALSE(m.grants().screen);
}

TEST_F(TickTest, OneSnapshotAtATime) {
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.ticks.fire();
    ASSERT_EQ(world.ax.size(), 1);
    EXPECT_TRUE(m.inFlight());

    world.ticks.fire();  // the snapshot is being taken
    EXPECT_EQ(world.ax.size(), 1);
    world.ax.work(0);
    world.ticks.fire();  // taken, its hand-back not yet run
    EXPECT_EQ(world.ax.size(), 1);
    EXPECT_TRUE(m.inFlight());

    world.ax.deliver(0);
    EXPECT_FALSE(m.inFlight());
    EXPECT_TRUE(hasRemoveFinding(m.decision(), "r:Ghost"));
    world.ticks.fire();
    EXPECT_EQ(world.ax.size(), 2);
}

class OldPageSnapshot : public TickTest, public ::testing::WithParamInterface<Step::Value> {};

TEST_P(OldPageSnapshot, IsIgnoredAfterGo) {
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.ticks.fire();
    ASSERT_EQ(world.ax.size(), 1);
    m.go(GetParam());
    world.settle();
    EXPECT_FALSE(m.inFlight());
    EXPECT_TRUE(m.decision().findings.isEmpty());
    EXPECT_EQ(m.phase(), Phase::idle);
    EXPECT_EQ(m.banner(), QString());
    EXPECT_EQ(m.stableCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, OldPageSnapshot,
                         ::testing::Values(Step::loginItems, Step::start, Step::done));

TEST_F(TickTest, WithoutAccessibilityTheStoresAloneDecide) {
    world.settings.trusted = false;
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.beatAfter(0.5);
    EXPECT_EQ(world.ax.size(), 0);
    EXPECT_FALSE(m.inFlight());
    EXPECT_FALSE(m.overlay().isShowing());
    // The page was not read: the finding names the record, not a row.
    EXPECT_TRUE(hasRemoveFinding(m.decision(), "r:" + kGhost));
    EXPECT_TRUE(m.decision().marks.isEmpty());
    EXPECT_EQ(m.phase(), Phase::noAccessibility);
    EXPECT_EQ(
        m.banner(),
        "Accessibility is off, so I cannot point at rows on the screen. The lists below still say what to "
        "remove.");
}

TEST_F(TickTest, DemoDecidesOnMadeUpRowsAndDrawsThePhotoOnce) {
    AppModel& m = world.startModel();
    m.setDemo(true);
    m.go(Step::accessibility);
    const int reads = world.settings.totalReads();
    world.beatAfter(0.5);
    const Decision expected =
        Decide::page(Fixtures::candidates(Step::accessibility), Fixtures::rows(Step::accessibility));
    EXPECT_EQ(m.decision().findings, expected.findings);
    EXPECT_EQ(m.decision().marks, expected.marks);
    EXPECT_EQ(m.phase(), Phase::selected);
    EXPECT_EQ(m.banner(),
              "Demo: these rows are made up. In real use this window points at your own System Settings.");
    ASSERT_TRUE(m.photo());
    const qint64 drawn = m.photo()->cacheKey();
    world.beatAfter(0.5);
    EXPECT_EQ(m.photo()->cacheKey(), drawn);
    EXPECT_EQ(world.ax.size(), 0);
    EXPECT_EQ(world.settings.totalReads(), reads) << "demo mode reads no window";
    EXPECT_FALSE(m.overlay().isShowing());
    EXPECT_EQ(world.selectionWrites(), 0);
}

// A snapshot taken before demo mode was switched on must not show the real
// System Settings afterwards: no decision, banner, marks or selection.
TEST_F(TickTest, SnapshotHandedBackInDemoModeIsDropped) {
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.beatAfter(0.5);
    world.ticks.fire();  // the second, stable reading is on its way
    ASSERT_EQ(world.ax.pending(), 1);
    m.setDemo(true);
    const Decision before = m.decision();
    world.ax.drain();
    EXPECT_FALSE(m.inFlight());
    EXPECT_EQ(m.stableCount(), 0);
    EXPECT_EQ(m.decision().findings, before.findings);
    EXPECT_FALSE(m.overlay().isShowing());
    EXPECT_EQ(world.selectionWrites(), 0);
    EXPECT_EQ(world.capture.size(), 0);
}

// Likewise a photo of the real window whose capture was under way.
TEST_F(TickTest, PhotoHandedBackInDemoModeIsDropped) {
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.beatAfter(0.5);
    world.ticks.fire();
    world.ax.drain();
    ASSERT_EQ(world.capture.pending(), 1);
    ASSERT_TRUE(m.photoInFlight());
    m.setDemo(true);
    world.settle();
    EXPECT_FALSE(m.photoInFlight());
    EXPECT_FALSE(m.photo());
}

// A second start() replaces the timer: two timers would tick twice as often
// and take two snapshots per beat.
TEST_F(TickTest, SecondStartLeavesOneTimer) {
    AppModel& m = world.startModel();
    EXPECT_EQ(world.ticks.running(), 1);
    m.start();
    EXPECT_EQ(world.ticks.running(), 1);
    EXPECT_EQ(world.ticks.periods(), (QList<double>{0.5, 0.5}));
    m.go(Step::accessibility);
    world.ticks.fire();
    EXPECT_EQ(world.ax.size(), 1);
}

TEST_F(TickTest, StartReadsJobsStoresAndTheMacModel) {
    world.root.writeFile(world.root.paths().userLaunchAgents() + "/com.example.job.plist",
                         LaunchPlistWriter::write({"com.example.job", "/usr/bin/true", std::nullopt}));
    AppModel m(world.seams);
    EXPECT_FALSE(m.tcc());
    EXPECT_FALSE(m.ticking());
    m.start();
    EXPECT_EQ(m.jobs().size(), 1);
    EXPECT_TRUE(m.tcc() && m.tcc()->ok());
    EXPECT_TRUE(m.btm() && m.btm()->ok());
    EXPECT_EQ(world.background.pending(), 1);
    world.background.drain();
    EXPECT_EQ(m.macModel(), QString()) << "no profiler on this machine";
    EXPECT_TRUE(m.ticking());
}

TEST_F(TickTest, HandBackAfterTheModelIsGoneIsDropped) {
    world.startModel();
    world.model->go(Step::accessibility);
    world.ticks.fire();
    ASSERT_EQ(world.ax.pending(), 1);
    world.model.reset();
    world.settle();
    EXPECT_EQ(world.ax.pending(), 0);
    EXPECT_EQ(world.selectionWrites(), 0);
}

}  // namespace
