// The scan tick: what a tick does on each kind of page, the store throttle,
// one Accessibility snapshot at a time, hand-backs that arrive too late, demo
// mode and the timer itself; and the made-up data of demo mode: marketing
// names replace each marked text once and whole, rows agree with their
// candidates and leave something to remove, the photo shows the marks.

#include <gtest/gtest.h>

#include "app/model/Fixtures.h"
#include "finder/Decide.h"
#include "support/HostileFiles.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "support/Printers.h"
#include "support/QtApp.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

class TickTest : public ::testing::Test {
protected:
    void SetUp() override { world.showGhostAndEditor(); }
    void TearDown() override { FileProbe::setCurrent(nullptr); }

    // The Accessibility page's model, once its first snapshot was asked for.
    AppModel& askedForASnapshot() {
        AppModel& m = world.startModel(Step::accessibility);
        world.ticks.fire();
        return m;
    }

    ModelWorld world;
    FakeFileProbe probe;
};

bool hasRemoveFinding(const Decision& decision, const QString& id) {
    return std::any_of(decision.findings.begin(), decision.findings.end(),
                       [&](const Finding& f) { return f.id == id && f.verdict == Finding::Verdict::remove; });
}

TEST_F(TickTest, OffTheSettingsPagesOnlyGrantsAreProbedAndTheOverlayHidden) {
    AppModel& m = world.startModel(Step::accessibility);
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    const QList<Mark> marks = m.decision().marks;
    ASSERT_FALSE(marks.isEmpty());
    for (Step step : {Step::start, Step::moveIn, Step::done}) {
        SCOPED_TRACE(step.rawValue().toStdString());
        m.go(step);
        m.openPane();  // not a page of System Settings: nothing to open
        EXPECT_TRUE(world.settings.openedLinks().isEmpty());
        m.overlay().show(marks, std::nullopt, world.settings.windowFrame());
        const auto lastRead = m.lastStoreRead();
        const qsizetype axJobs = world.ax.size();
        world.settings.trusted = !world.settings.trusted;
        world.beatAfter(10);
        EXPECT_FALSE(m.overlay().isShowing());
        EXPECT_EQ(m.grants().accessibility, world.settings.trusted) << "the grants are probed";
        EXPECT_EQ(m.lastStoreRead(), lastRead) << "no store read";
        EXPECT_EQ(world.ax.size(), axJobs) << "no snapshot";
        EXPECT_TRUE(m.decision().findings.isEmpty());
        EXPECT_EQ(m.phase(), Phase::idle);
    }
}

// More than three seconds after the last read, or after a time correction
// set the wall clock back past it; the throttle then counts from that read.
TEST_F(TickTest, StoresAreReadPastThreeSecondsAndAfterTheClockWasSetBack) {
    AppModel& m = world.startModel(Step::accessibility);
    const auto started = m.lastStoreRead();
    ASSERT_TRUE(started);
    world.beatAfter(3.0);
    EXPECT_EQ(m.lastStoreRead(), started);
    world.beatAfter(0.001);
    EXPECT_EQ(m.lastStoreRead(), world.clock.now());

    world.beatAfter(-3600);
    const auto reread = m.lastStoreRead();
    ASSERT_EQ(reread, world.clock.now());
    world.beatAfter(0.5);
    world.beatAfter(2.5);
    EXPECT_EQ(m.lastStoreRead(), reread);
    world.beatAfter(0.001);
    EXPECT_EQ(m.lastStoreRead(), world.clock.now());
}

// Two timers would tick twice as often and take two snapshots per beat.
TEST_F(TickTest, OneTimerAndOneSnapshotAtATime) {
    AppModel& m = world.startModel();
    m.start();
    EXPECT_EQ(world.ticks.running(), 1);
    m.go(Step::accessibility);
    world.ticks.fire();
    EXPECT_EQ(world.ax.size(), 1);
    world.ticks.fire();  // the snapshot is being taken
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

TEST_F(TickTest, ASnapshotOfThePageLeftBehindChangesNothing) {
    AppModel& m = world.startModel();
    for (Step next : {Step::loginItems, Step::start}) {
        SCOPED_TRACE(next.rawValue().toStdString());
        m.go(Step::accessibility);
        world.ticks.fire();
        m.go(next);
        world.settle();
        EXPECT_FALSE(m.inFlight());
        EXPECT_TRUE(m.decision().findings.isEmpty());
        EXPECT_EQ(m.phase(), Phase::idle);
        EXPECT_EQ(m.stableCount(), 0);
    }
}

// The page was not read: the finding names the record, not a row.
TEST_F(TickTest, WithoutAccessibilityTheStoresAloneDecide) {
    world.settings.trusted = false;
    AppModel& m = askedForASnapshot();
    world.settle();
    EXPECT_EQ(world.ax.size(), 0);
    EXPECT_TRUE(hasRemoveFinding(m.decision(), "r:com.example.Ghost"));
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
    EXPECT_EQ(
        m.decision().marks,
        Decide::page(Fixtures::candidates(Step::accessibility), Fixtures::rows(Step::accessibility)).marks);
    EXPECT_EQ(m.phase(), Phase::selected);
    EXPECT_EQ(m.banner(),
              "Demo: these rows are made up. In real use this window points at your own System Settings.");
    ASSERT_TRUE(m.photo());
    const qint64 drawn = m.photo()->cacheKey();
    world.beatAfter(0.5);
    EXPECT_EQ(m.photo()->cacheKey(), drawn);
    EXPECT_EQ(world.settings.totalReads(), reads) << "demo mode reads no window";
    EXPECT_FALSE(m.overlay().isShowing() || world.selectionWrites());
}

// Where nothing opens System Settings, Open says so, on the made-up page as
// on the real one without Accessibility, and keeps saying it over the ticks
// until the person acts again: another press that opens, or the page anew.
TEST(RefusedOpen, TheLineStaysUntilThePersonActsAgain) {
    const struct {
        const char* name;
        bool demo;
        QString sentence;  // the page's own, before and after
    } cases[] = {
        {"demo", true,
         "Demo: these rows are made up. In real use this window points at your own System Settings."},
        {"without Accessibility", false,
         "Accessibility is off, so I cannot point at rows on the screen. The lists below still say what to "
         "remove."},
    };
    for (const auto& c : cases) {
        ModelWorld world;
        world.showGhostAndEditor();
        world.settings.trusted = false;
        AppModel& m = world.startModel();
        m.setDemo(c.demo);
        m.go(Step::accessibility);
        const auto refuse = [&] {
            world.settings.setLinksOpen(false);
            m.openPane();
            world.beatAfter(0.5);
            world.beatAfter(0.5);
            EXPECT_EQ(m.banner(), Workspace::settingsNotOpenedLine()) << c.name;
            world.settings.setLinksOpen(true);
        };
        world.beatAfter(0.5);
        EXPECT_EQ(m.banner(), c.sentence) << c.name;
        refuse();
        m.go(Step::accessibility);
        world.beatAfter(0.5);
        EXPECT_EQ(m.banner(), c.sentence) << c.name << ": the page anew";
        refuse();
        m.openPane();
        world.beatAfter(0.5);
        EXPECT_EQ(m.banner(), c.sentence) << c.name << ": a press that opened";
    }
}

// Demo mode shows made-up rows in place of the stores: a store that cannot be
// read is no problem of the made-up page, while the real page reports it.
TEST_F(TickTest, AnUnreadablePrivacyDatabaseIsAStoreProblemOnlyOutsideDemoMode) {
    probe.openErrors.insert(world.root.disk(TCCStore::userPath(world.root.paths())), EACCES);
    FileProbe::setCurrent(&probe);
    AppModel& m = world.startModel(Step::accessibility);
    world.beatAfter(0.5);
    ASSERT_EQ(m.storeProblem(), std::optional<StoreError>(StoreError::noAccess()));
    m.setDemo(true);
    world.beatAfter(0.5);
    ASSERT_FALSE(m.tcc()->ok());
    EXPECT_EQ(m.storeProblem(), std::nullopt);
    EXPECT_EQ(m.candidates().size(), Fixtures::candidates(Step::accessibility).size());
}

// A snapshot taken before demo mode was switched on must not show the real
// System Settings afterwards: no decision, banner, marks or selection.
TEST_F(TickTest, SnapshotHandedBackInDemoModeIsDropped) {
    AppModel& m = world.startModel(Step::accessibility);
    world.beatAfter(0.5);
    world.ticks.fire();  // the second, stable reading is on its way
    ASSERT_EQ(world.ax.pending(), 1);
    m.setDemo(true);
    const Decision before = m.decision();
    world.ax.drain();
    EXPECT_FALSE(m.inFlight());
    EXPECT_EQ(m.stableCount(), 0);
    EXPECT_EQ(m.decision().findings, before.findings);
    EXPECT_FALSE(m.overlay().isShowing() || world.selectionWrites() || world.capture.size());
}

// The snapshot's hand-back writes to the model; one that arrives after the
// model is gone must be dropped (the sanitizer reports a use after free
// otherwise). The queue drops it only when the model is its receiver.
TEST_F(TickTest, HandBackAfterTheModelIsGoneIsDropped) {
    askedForASnapshot();
    ASSERT_EQ(world.ax.pending(), 1);
    world.model.reset();
    world.ax.drain();
    EXPECT_GT(world.settings.totalReads(), 0) << "the snapshot was taken";
    EXPECT_EQ(world.selectionWrites(), 0);
}

// Files anyone could leave where the app reads, there at start-up: each
// store's read fails with a clear error, the good job beside the bad ones
// still counts, and the loop goes on.
TEST(HostileFiles, TheAppStartsAndKeepsScanning) {
    ModelWorld world;
    const TempRoot& root = world.root;
    const QString userTcc = root.disk(TCCStore::userPath(root.paths()));
    ASSERT_EQ(TccDbWriter::write(userTcc, {}, TccDbWriter::Schema::noAccessTable), "");
    ASSERT_EQ(TccDbWriter::execute(userTcc, HostileFiles::endlessAccessView), "");
    root.writeFile(BackgroundStore::folder(root.paths()) + "/BackgroundItems-v4.btm",
                   HostileFiles::storeSharedLists(10'000, 10'000));
    const QString agents = root.paths().userLaunchAgents();
    for (const auto& hostile : HostileFiles::xmlNesting(100'000))
        root.writeFile(agents + "/" + hostile.name + ".plist", hostile.bytes);
    root.writeFile(agents + "/good.plist", LaunchPlistWriter::write({"good", "/bin/good", {}}));

    AppModel& m = world.startModel(Step::loginItems);
    world.beatAfter(AppModel::storeMaxAge + 0.5);
    ASSERT_TRUE(m.tcc() && m.btm());
    EXPECT_EQ(m.tcc()->error().description(), "unknown format (no access table)");
    EXPECT_EQ(m.btm()->error().description(), "unknown format (too many records)");
    ASSERT_EQ(m.jobs().size(), 1);
    EXPECT_EQ(m.jobs().front().label, "good");
}

// ---- The made-up data -------------------------------------------------------------

class FixturesTest : public ::testing::Test {
protected:
    void TearDown() override { Fixtures::marketing = false; }
};

// The order of the table is what makes each replacement whole: a text that
// contains an earlier "from" could never be matched itself, and a "to" that
// contains a later "from" would be replaced twice.
TEST_F(FixturesTest, MarketingReplacesEachMarkedTextOnceAndWhole) {
    EXPECT_EQ(Fixtures::t("TEST Sample App: Accessibility"), "TEST Sample App: Accessibility");
    const auto& names = Fixtures::marketingNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(names[i].to.contains("TEST")) << names[i].to.toStdString();
        for (qsizetype j = i + 1; j < names.size(); ++j) {
            EXPECT_FALSE(names[j].from.contains(names[i].from))
                << names[j].from.toStdString() << " comes after " << names[i].from.toStdString();
            EXPECT_FALSE(names[i].to.contains(names[j].from)) << names[i].to.toStdString();
        }
    }
    Fixtures::marketing = true;
    // One piece, not "TEST Sample App" followed by ": Accessibility".
    EXPECT_EQ(Fixtures::t("TEST Sample App: Accessibility"), "Marblewick Notes: Accessibility");
    for (Step step : Step::allCases()) {
        QStringList texts;
        for (const PaneRow& row : Fixtures::rows(step))
            texts << row.title;
        for (const Candidate& c : Fixtures::candidates(step))
            texts << c.key << c.names << c.liveness.evidence() << c.testWhy.value_or("") << c.detail;
        for (const ExplainItem& item : Fixtures::explainItems(step))
            texts << item.key << item.name << item.id.value_or("") << item.file.value_or("");
        for (const QString& text : texts)
            EXPECT_FALSE(text.contains("TEST"))
                << step.rawValue().toStdString() << ": " << text.toStdString();
    }
}

// Rows run top to bottom (the photo test keeps them inside); only background
// rows cannot be selected; blank icons stand for programs that are gone (per title, as
// many blank rows as gone candidates); and each page has a row to remove.
TEST_F(FixturesTest, RowsAgreeWithTheirCandidatesAndLeaveSomethingToRemove) {
    for (Step step : {Step::accessibility, Step::loginItems}) {
        SCOPED_TRACE(step.rawValue().toStdString());
        const auto rows = Fixtures::rows(step);
        const auto candidates = Fixtures::candidates(step);
        QMap<QString, int> blank, gone;
        double below = Fixtures::photoWindow.y;
        for (const PaneRow& row : rows) {
            EXPECT_GE(row.frame.y, below);
            below = row.frame.y + row.frame.height;
            EXPECT_EQ(row.selectable, row.section != PaneSection::background);
            if (row.iconBlank.value_or(false))
                ++blank[row.title];
        }
        for (const Candidate& c : candidates) {
            if (c.liveness.isGone())
                ++gone[c.primaryName()];
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const PaneRow& r) {
                return c.matches(r.title);
            })) << c.key.toStdString();
        }
        EXPECT_EQ(blank, gone);
        const Decision decision = Decide::page(candidates, rows);
        EXPECT_GT(decision.removeCount(), 0);
        EXPECT_FALSE(decision.marks.isEmpty());
    }
}

// Window points to photo pixels.
QRect pixels(const Rect& screen) {
    return QRect(int((screen.x - Fixtures::photoWindow.x) * 2), int((screen.y - Fixtures::photoWindow.y) * 2),
                 int(screen.width * 2), int(screen.height * 2));
}

// In points at twice the pixels, every row inside; the decision's marks are
// drawn over the made-up window, on their rows.
TEST_F(FixturesTest, ThePhotoShowsTheDecisionsMarks) {
    for (Step step : Step::allCases()) {
        const auto photo = Fixtures::photo(step, Decision{});
        ASSERT_TRUE(photo);
        EXPECT_EQ(photo->size(), (photo->deviceIndependentSize() * 2).toSize());
        EXPECT_EQ(photo->deviceIndependentSize().width(), Fixtures::photoWindow.width);
        for (const PaneRow& row : Fixtures::rows(step))
            EXPECT_TRUE(photo->rect().contains(pixels(row.frame))) << row.title.toStdString();
    }
    const auto rows = Fixtures::rows(Step::accessibility);
    const auto plain = Fixtures::photo(Step::accessibility, Decision{});
    Decision decision;
    decision.marks << Mark{Mark::Kind::remove, rows[2], "Remove this"};
    const auto marked = Fixtures::photo(Step::accessibility, decision);
    ASSERT_TRUE(marked);
    EXPECT_NE(marked->copy(pixels(rows[2].frame)), plain->copy(pixels(rows[2].frame)));
    EXPECT_EQ(marked->copy(pixels(rows[0].frame)), plain->copy(pixels(rows[0].frame)));
}

}  // namespace
