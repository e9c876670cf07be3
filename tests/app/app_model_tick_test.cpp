// The scan tick: what a tick does on each kind of page, the store throttle,
// one Accessibility snapshot at a time, hand-backs that arrive too late, demo
// mode and the timer itself.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
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

// The Accessibility page with one leftover (Ghost) and one live app (Editor),
// already open in System Settings.
class TickTest : public ::testing::Test {
protected:
    void SetUp() override {
        world.installApp(kEditor, "/Applications/Editor.app");
        world.writeTcc({accessibilityRow(kGhost), accessibilityRow(kEditor)});
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
                                           Throttle{"justPast3", 3.001, true}, Throttle{"half", 0.5, false},
                                           // A time correction set the wall clock back an hour.
                                           Throttle{"clockSetBackAnHour", -3600, true}),
                         [](const auto& info) { return info.param.name; });

// After the clock was set back the stores are read once, and the throttle
// counts from that read again.
TEST_F(TickTest, AClockSetBackReadsTheStoresOnceThenThrottlesAgain) {
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.beatAfter(-3600);
    const auto reread = m.lastStoreRead();
    ASSERT_EQ(reread, world.clock.now());
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    EXPECT_EQ(m.lastStoreRead(), reread);
    world.beatAfter(2.5);
    EXPECT_EQ(m.lastStoreRead(), world.clock.now());
}

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

// Demo mode shows made-up rows in place of the stores: a store that cannot be
// read is no problem of the made-up page, while the real page reports it.
class UnreadablePrivacyDatabase : public TickTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        TickTest::SetUp();
        probe.openErrors.insert(world.root.disk(TCCStore::userPath(world.root.paths())), EACCES);
        FileProbe::setCurrent(&probe);
    }
    void TearDown() override { FileProbe::setCurrent(nullptr); }

    FakeFileProbe probe;
};

TEST_P(UnreadablePrivacyDatabase, IsAStoreProblemOnlyOutsideDemoMode) {
    const bool demo = GetParam();
    AppModel& m = world.startModel();
    m.setDemo(demo);
    m.go(Step::accessibility);
    world.beatAfter(0.5);
    ASSERT_TRUE(m.tcc());
    ASSERT_FALSE(m.tcc()->ok());
    if (demo) {
        EXPECT_EQ(m.storeProblem(), std::nullopt);
        EXPECT_EQ(m.candidates().size(), Fixtures::candidates(Step::accessibility).size());
    } else {
        EXPECT_EQ(m.storeProblem(), std::optional<StoreError>(StoreError::noAccess()));
        EXPECT_TRUE(m.candidates().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Demo, UnreadablePrivacyDatabase, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "demoOn" : "demoOff"; });

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

// The real "larkspur.ax" worker thread, each job held at its start until the
// test lets it go, so that the model can be destroyed while its snapshot runs.
class HeldQueue final : public TaskQueue {
public:
    ~HeldQueue() override { release(); }  // before the thread is joined

    void async(std::function<void()> work, QObject* context, std::function<void()> deliver) override {
        queue_.async(
            [this, work = std::move(work)] {
                started = true;
                while (!released_) {
                    QThread::msleep(1);
                }
                work();
            },
            context, std::move(deliver));
    }
    void release() { released_ = true; }

    std::atomic<bool> started{false};

private:
    std::atomic<bool> released_{false};
    SerialThreadQueue queue_{QStringLiteral("larkspur.ax")};
};

// Runs the event loop until `done` (the limit only stops a broken test from hanging).
bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 10'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

// The snapshot's hand-back writes to the model; one that arrives after the
// model is gone must be dropped (the sanitizer reports a use after free
// otherwise).
TEST_F(TickTest, HandBackAfterTheModelIsGoneIsDropped) {
    HeldQueue ax;
    world.seams.ax = &ax;
    world.startModel();
    world.model->go(Step::accessibility);
    world.ticks.fire();
    ASSERT_TRUE(spinUntil([&] { return ax.started.load(); }));

    world.model.reset();  // while the snapshot is being taken
    ax.release();
    // A later job's hand-back comes after the dropped one's would have.
    QObject later;
    bool laterDelivered = false;
    ax.async([] {}, &later, [&] { laterDelivered = true; });
    ASSERT_TRUE(spinUntil([&] { return laterDelivered; }));
    EXPECT_GT(world.settings.totalReads(), 0) << "the snapshot was taken";
    EXPECT_EQ(world.selectionWrites(), 0);
}

}  // namespace
