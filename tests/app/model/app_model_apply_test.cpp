// Applying a snapshot: the page that is not open, the overlay and who is in
// front, the one selection per distinct target, the photo's interval and the
// cases in which it is dropped; and the guide, which gives the phase and the
// banner's sentence (first rule that applies wins).

#include <gtest/gtest.h>

#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

// The Accessibility page with one leftover (Ghost) and one live app (Editor).
class ApplyTest : public ::testing::Test {
protected:
    void SetUp() override { world.showGhostAndEditor(); }

    // The Accessibility page, read twice: stable, marked and selected; the
    // photo's jobs are left waiting.
    AppModel& stablePage() {
        AppModel& m = world.startModel(Step::accessibility);
        world.beatAfter(0.5);
        readAgain();
        EXPECT_EQ(m.stableCount(), 1);
        return m;
    }
    // One more tick and its snapshot, leaving any capture waiting.
    void readAgain(double seconds = 0.5) {
        world.clock.advance(seconds);
        world.ticks.fire();
        world.ax.drain();
    }

    // Another record and row, added below the others.
    void addBelow(const QString& client, const QString& title, SimulatedIcon icon) {
        tcc.append(accessibilityRow(client));
        world.writeTcc(tcc);
        rows.append({title, icon, client});
        world.settings.setAccessibilityRows(rows);
    }

    qint64 count(const char* event) { return world.counters->snapshot().value(QString::fromLatin1(event)); }

    ModelWorld world;
    QList<TccDbRow> tcc{accessibilityRow("com.example.Ghost"), accessibilityRow("com.vendor.Editor")};
    QList<SimulatedRow> rows{{"Ghost", SimulatedIcon::blankDocument, "com.example.Ghost"},
                             {"Editor", SimulatedIcon::colourful, "com.vendor.Editor"}};
};

// The overlay shows only while System Settings or this app (no bundle
// identifier here, so "no frontmost identifier") is in front; with System
// Settings gone the stores alone decide.
TEST_F(ApplyTest, OverlayOnlyWhileSystemSettingsOrThisAppIsInFront) {
    AppModel& m = stablePage();
    EXPECT_TRUE(m.overlay().isShowing());
    world.settings.setFrontmost(QStringLiteral("com.other.app"));
    readAgain();
    EXPECT_FALSE(m.overlay().isShowing());
    world.settings.setFrontmost(std::nullopt);
    readAgain();
    EXPECT_TRUE(m.overlay().isShowing());
    world.settings.setRunning(false);
    world.beatAfter(0.5);
    EXPECT_EQ(m.phase(), Phase::notOpen);
    EXPECT_EQ(m.banner(), "Press Open: I will bring up the page in System Settings.");
    EXPECT_FALSE(m.overlay().isShowing());
    EXPECT_FALSE(m.decision().findings.isEmpty());
    EXPECT_TRUE(m.decision().marks.isEmpty());
    // Where nothing opens System Settings, Open says so, and the tick keeps saying it.
    world.settings.setLinksOpen(false);
    m.openPane();
    world.beatAfter(0.5);
    EXPECT_EQ(m.phase(), Phase::notOpen);
    EXPECT_EQ(m.banner(), Workspace::settingsNotOpenedLine());
}

TEST_F(ApplyTest, RefusedSelectionIsCountedOnceAndRetriedOnlyForANewKey) {
    world.settings.rejectSelection = AXError::cannotComplete;
    AppModel& m = stablePage();
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    EXPECT_EQ(count("select.refused"), 1);
    EXPECT_EQ(count("select.ok"), 0);
    EXPECT_EQ(world.selectionWrites(), 1);
    EXPECT_EQ(m.phase(), Phase::circled) << "the row stays marked";

    // Another window number is another target.
    world.settings.setWindowNumber(913);
    world.beatAfter(0.5);
    EXPECT_EQ(count("select.refused"), 2);
    EXPECT_EQ(world.selectionWrites(), 2);
    EXPECT_TRUE(world.onlyRowSelections());
}

// The target stays Ghost; only a changed number of red marks makes a new key.
TEST_F(ApplyTest, OnlyAChangedRedCountSelectsTheSameRowAgain) {
    AppModel& m = stablePage();
    ASSERT_EQ(count("select.ok"), 1);
    world.installApp("com.vendor.Viewer", "/Applications/Viewer.app");
    addBelow("com.vendor.Viewer", "Viewer", SimulatedIcon::colourful);
    world.beatAfter(3.1);
    world.beatAfter(0.5);
    EXPECT_EQ(world.selectionWrites(), 1) << "a live app below";

    addBelow(QStringLiteral("com.example.Phantom"), "Phantom", SimulatedIcon::blankDocument);
    world.beatAfter(3.1);
    world.beatAfter(0.5);
    EXPECT_EQ(m.stableCount(), 1);
    EXPECT_EQ(count("select.ok"), 2);
    EXPECT_EQ(world.selectionWrites(), 2);
    EXPECT_EQ(world.settings.selectedTitles(), QStringList{"Ghost"});
}

TEST_F(ApplyTest, GoingToTheSamePageSelectsAgainOnceStable) {
    AppModel& m = stablePage();
    world.settle();
    ASSERT_TRUE(m.photo());
    m.go(Step::accessibility);
    EXPECT_TRUE(m.decision().findings.isEmpty());
    EXPECT_FALSE(m.photo());
    EXPECT_TRUE(m.selectedKey().isEmpty());
    world.beatAfter(0.5);
    EXPECT_EQ(world.selectionWrites(), 1);
    world.beatAfter(0.5);
    EXPECT_EQ(world.selectionWrites(), 2);
}

// At most one photo every two seconds, counted again after the clock was set back.
TEST_F(ApplyTest, PhotoInterval) {
    AppModel& m = stablePage();
    ASSERT_EQ(world.capture.size(), 1);
    world.settle();
    const double taken = Clock::secondsSince1970(*m.lastPhoto());
    world.clock.set(taken + 2.0);
    readAgain(0);
    EXPECT_EQ(world.capture.size(), 1);
    world.clock.set(taken + 2.001);
    readAgain(0);
    EXPECT_EQ(world.capture.size(), 2);
    world.settle();
    world.clock.set(taken - 3600);
    readAgain(0);
    EXPECT_EQ(world.capture.size(), 3);
}

TEST_F(ApplyTest, NoPhotoWithoutScreenRecording) {
    world.startModel(Step::accessibility);
    world.beatAfter(0.5);
    world.ticks.fire();  // the grant is probed before the reading comes back
    world.photo.permitted = false;
    world.ax.drain();
    world.beatAfter(5);
    world.beatAfter(5);
    EXPECT_EQ(world.capture.size(), 1);
}

struct Drop {
    const char* name;
    // Done after the capture was asked for, before anything ran.
    std::function<void(ModelWorld&)> meanwhile;
};

class PhotoDropped : public ApplyTest, public ::testing::WithParamInterface<Drop> {};

TEST_P(PhotoDropped, ClearsPhotoInFlightAndShowsNoPhoto) {
    AppModel& m = stablePage();
    ASSERT_TRUE(m.photoInFlight());
    GetParam().meanwhile(world);
    world.settle();
    EXPECT_FALSE(m.photoInFlight());
    EXPECT_FALSE(m.photo());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PhotoDropped,
    ::testing::Values(Drop{"captureFails",
                           [](ModelWorld& w) { w.photo.captureError = QStringLiteral("stream stopped"); }},
                      Drop{"pageChangedMeanwhile",
                           [](ModelWorld& w) {
                               // The capture runs; then the page scrolls before the second reading.
                               w.capture.work(0);
                               w.settings.setWindowFrame(Rect{140, 60, 715, 650});
                           }},
                      Drop{"settingsQuit",
                           [](ModelWorld& w) {
                               w.capture.deliver(0);
                               w.settings.setRunning(false);
                           }},
                      Drop{"personChangedPage", [](ModelWorld& w) { w.model->go(Step::loginItems); }},
                      // A capture of the real window under way when demo mode was switched on.
                      Drop{"demoSwitchedOn", [](ModelWorld& w) { w.model->setDemo(true); }}),
    [](const auto& info) { return info.param.name; });

TEST_F(ApplyTest, IconEvidenceIsCachedPerPageState) {
    AppModel& m = stablePage();
    world.settle();
    ASSERT_TRUE(m.photo());
    // Same page: the next reading carries the photo's verdicts.
    world.beatAfter(0.5);
    for (const Mark& mark : m.decision().marks) {
        EXPECT_TRUE(mark.row.iconBlank.has_value()) << mark.row.title.toStdString();
    }
    // A moved window is another page state: no verdicts until photographed.
    world.settings.setWindowFrame(Rect{140, 60, 715, 650});
    readAgain();
    for (const Mark& mark : m.decision().marks) {
        EXPECT_FALSE(mark.row.iconBlank.has_value()) << mark.row.title.toStdString();
    }
}

const QString kScroll =
    QStringLiteral("Scroll down in System Settings: the next one is further down the list.");
const QString kLookBelow = QStringLiteral("Look for the rows listed below.");

Mark red(const PaneRow& r) {
    return Mark{Mark::Kind::remove, r, QStringLiteral("Remove this")};
}
Mark green(const PaneRow& r) {
    return Mark{Mark::Kind::keep, r, QStringLiteral("KEEP THIS ROW")};
}
Finding finding(Finding::Verdict verdict, const QString& id) {
    Finding f;
    f.id = id;
    f.verdict = verdict;
    return f;
}

TEST(Guide, PhaseAndSentence) {
    using P = Phase;
    const PaneRow old{PaneSection::accessibility, "Old Tool", {}, 0, true, {}};
    const PaneRow other{PaneSection::accessibility, "Other", {}, 0, true, {}};
    const PaneRow agent{PaneSection::background, "Old Agent", {}, 0, false, {}};
    const PaneRow login{PaneSection::openAtLogin, "Old Login", {}, 0, true, {}};
    const QList<Finding> remove{finding(Finding::Verdict::remove, "r:Old Tool")};
    const QList<Finding> keepAndLook{finding(Finding::Verdict::keep, "k:Other"),
                                     finding(Finding::Verdict::look, "l:Other")};
    const QSet<QString> ticked{"r:Old Tool"};
    struct Case {
        const char* name;
        Decision decision;
        QStringList selected;
        QStringList below;
        QSet<QString> tickedOff;
        P phase;
        QString banner;
    } cases[] = {
        {"selected", {remove, {red(old), green(other)}}, {"Old Tool"}, {}, {}, P::selected, kHighlighted},
        {"notYetSelected", {remove, {red(old)}}, {"Other"}, {}, {}, P::circled, kClickRow},
        {"backgroundSwitch", {remove, {red(agent)}}, {}, {}, {}, P::circled, kTurnOff},
        // The first selectable red row counts for the selection, the first
        // red row for the wording.
        {"afterASwitch",
         {remove, {red(agent), red(login)}},
         {"Old Login"},
         {},
         {},
         P::selected,
         kHighlighted},
        {"switchFirstNoneSelected", {remove, {red(agent), red(login)}}, {}, {}, {}, P::circled, kTurnOff},
        {"redMarksWinOverBelow", {remove, {red(old)}}, {}, {"Far Down"}, {}, P::circled, kClickRow},
        {"furtherDown", {remove, {}}, {}, {"Old Tool"}, {}, P::scroll, kScroll},
        {"furtherDownButTickedOff", {remove, {}}, {}, {"Old Tool"}, ticked, P::circled, kLookBelow},
        {"listedOnly", {remove, {green(other)}}, {}, {}, {}, P::circled, kLookBelow},
        {"listedOnlyEvenWhenTickedOff", {remove, {}}, {}, {}, ticked, P::circled, kLookBelow},
        {"belowNoRemove", {keepAndLook, {green(other)}}, {}, {"Far Down"}, {}, P::nothingLeft, kNothingLeft},
        {"nothing", {}, {}, {}, {}, P::nothingLeft, kNothingLeft},
    };
    for (const Case& c : cases) {
        const auto [phase, banner] = AppModel::guide(c.decision, c.selected, c.below, c.tickedOff);
        EXPECT_EQ(phase, c.phase) << c.name;
        EXPECT_EQ(banner, c.banner) << c.name;
    }
}

}  // namespace
