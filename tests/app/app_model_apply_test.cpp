// Applying a snapshot: the page that is not open, the overlay and who is in
// front, the one selection per distinct target, and the photo's interval and
// the cases in which it is dropped.

#include <gtest/gtest.h>

#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

const QString kGhost = QStringLiteral("com.example.Ghost");
const QString kPhantom = QStringLiteral("com.example.Phantom");
const QString kEditor = QStringLiteral("com.vendor.Editor");
const QString kViewer = QStringLiteral("com.vendor.Viewer");

// The Accessibility page with one leftover (Ghost) and one live app (Editor).
class ApplyTest : public ::testing::Test {
protected:
    void SetUp() override {
        world.installApp(kEditor, "/Applications/Editor.app");
        world.installApp(kViewer, "/Applications/Viewer.app");
        tcc = {accessibilityRow(kGhost), accessibilityRow(kEditor)};
        world.writeTcc(tcc);
        rows = {{"Ghost", SimulatedIcon::blankDocument, kGhost},
                {"Editor", SimulatedIcon::colourful, kEditor}};
        world.settings.setAccessibilityRows(rows);
        world.settings.showPage(SimulatedPage::accessibility);
        world.settings.setFrontmost(SimulatedSettings::settingsBundleID());
    }

    // The Accessibility page, read twice: stable, marked and selected; the
    // photo's jobs are left waiting.
    AppModel& stablePage() {
        AppModel& m = world.startModel();
        m.go(Step::accessibility);
        world.beatAfter(0.5);
        world.clock.advance(0.5);
        world.ticks.fire();
        world.ax.drain();
        EXPECT_EQ(m.stableCount(), 1);
        return m;
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
    QList<TccDbRow> tcc;
    QList<SimulatedRow> rows;
};

TEST_F(ApplyTest, PageNotOpen) {
    world.settings.setRunning(false);
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.beatAfter(0.5);
    EXPECT_EQ(m.phase(), Phase::notOpen);
    EXPECT_EQ(m.banner(), "Press Open: I will bring up the page in System Settings.");
    EXPECT_FALSE(m.overlay().isShowing());
    EXPECT_FALSE(m.decision().findings.isEmpty()) << "decided on the stores alone";
    EXPECT_TRUE(m.decision().marks.isEmpty());
}

struct Front {
    const char* name;
    std::optional<QString> frontmost;
    bool shown;
};

class Frontmost : public ApplyTest, public ::testing::WithParamInterface<Front> {};

TEST_P(Frontmost, OverlayOnlyWhileSystemSettingsOrThisAppIsInFront) {
    world.settings.setFrontmost(GetParam().frontmost);
    AppModel& m = stablePage();
    EXPECT_EQ(m.overlay().isShowing(), GetParam().shown);
    EXPECT_EQ(world.selectionWrites(), 1) << "the row is selected either way";
}

// This app has no bundle identifier here, so "no frontmost identifier" is it.
INSTANTIATE_TEST_SUITE_P(Apps, Frontmost,
                         ::testing::Values(Front{"systemSettings", SimulatedSettings::settingsBundleID(),
                                                 true},
                                           Front{"thisApp", std::nullopt, true},
                                           Front{"anotherApp", QStringLiteral("com.other.app"), false}),
                         [](const auto& info) { return info.param.name; });

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

struct Added {
    const char* name;
    QString client;
    QString title;
    SimulatedIcon icon;
    int selections;  // of Ghost, in all
};

class RedCount : public ApplyTest, public ::testing::WithParamInterface<Added> {};

// The target stays Ghost; only a changed number of red marks makes a new key.
TEST_P(RedCount, ChangesTheSelectionKey) {
    AppModel& m = stablePage();
    ASSERT_EQ(count("select.ok"), 1);
    addBelow(GetParam().client, GetParam().title, GetParam().icon);
    world.beatAfter(3.1);
    world.beatAfter(0.5);
    world.beatAfter(0.5);
    EXPECT_EQ(m.stableCount(), 2);
    EXPECT_EQ(count("select.ok"), GetParam().selections);
    EXPECT_EQ(world.selectionWrites(), GetParam().selections);
    EXPECT_EQ(world.settings.selectedTitles(), QStringList{"Ghost"});
}

INSTANTIATE_TEST_SUITE_P(Rows, RedCount,
                         ::testing::Values(Added{"anotherLeftover", kPhantom, "Phantom",
                                                 SimulatedIcon::blankDocument, 2},
                                           Added{"aLiveApp", kViewer, "Viewer", SimulatedIcon::colourful, 1}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ApplyTest, GoingToTheSamePageSelectsAgainOnceStable) {
    AppModel& m = stablePage();
    ASSERT_EQ(world.selectionWrites(), 1);
    world.settle();
    ASSERT_TRUE(m.photo());
    m.go(Step::accessibility);
    EXPECT_TRUE(m.decision().findings.isEmpty());
    EXPECT_FALSE(m.photo());
    EXPECT_TRUE(m.tickedOff().isEmpty());
    EXPECT_TRUE(m.selectedKey().isEmpty());
    world.beatAfter(0.5);
    EXPECT_EQ(world.selectionWrites(), 1);
    world.beatAfter(0.5);
    EXPECT_EQ(world.selectionWrites(), 2);
}

struct Interval {
    const char* name;
    double seconds;  // since the last photo
    bool photographs;
};

class PhotoInterval : public ApplyTest, public ::testing::WithParamInterface<Interval> {};

TEST_P(PhotoInterval, AtMostOnePhotoEveryTwoSeconds) {
    AppModel& m = stablePage();
    ASSERT_EQ(world.capture.size(), 1);
    world.settle();
    const auto taken = m.lastPhoto();
    ASSERT_TRUE(taken);
    world.clock.set(Clock::secondsSince1970(*taken) + GetParam().seconds);
    world.ticks.fire();
    world.ax.drain();
    EXPECT_EQ(world.capture.size(), GetParam().photographs ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Boundary, PhotoInterval,
                         ::testing::Values(Interval{"exactly2", 2.0, false},
                                           Interval{"justPast2", 2.001, true},
                                           // A time correction set the wall clock back an hour.
                                           Interval{"clockSetBackAnHour", -3600, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ApplyTest, NoPhotoWithoutScreenRecordingOrOnTheFirstReading) {
    world.photo.permitted = false;
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    world.beatAfter(0.5);
    world.photo.permitted = true;
    EXPECT_EQ(world.capture.size(), 0) << "first reading";
    world.clock.advance(0.5);
    world.ticks.fire();  // the grant is probed before the reading comes back
    world.photo.permitted = false;
    world.ax.drain();
    EXPECT_EQ(world.capture.size(), 1);
    world.beatAfter(5);
    world.beatAfter(5);
    EXPECT_EQ(world.capture.size(), 1) << "no Screen Recording";
}

struct Drop {
    const char* name;
    // Done after the capture was asked for, before anything ran.
    std::function<void(ModelWorld&)> meanwhile;
};

class PhotoDropped : public ApplyTest, public ::testing::WithParamInterface<Drop> {};

TEST_P(PhotoDropped, ClearsPhotoInFlightAndKeepsThePreviousPhoto) {
    AppModel& m = stablePage();
    ASSERT_TRUE(m.photoInFlight());
    GetParam().meanwhile(world);
    world.settle();
    EXPECT_FALSE(m.photoInFlight());
    EXPECT_FALSE(m.photo());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PhotoDropped,
    ::testing::Values(
        Drop{"captureFails", [](ModelWorld& w) { w.photo.captureError = QStringLiteral("stream stopped"); }},
        Drop{"noPermission", [](ModelWorld& w) { w.photo.listingError = QStringLiteral("not permitted"); }},
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
    world.clock.advance(0.5);
    world.ticks.fire();
    world.ax.drain();
    for (const Mark& mark : m.decision().marks) {
        EXPECT_FALSE(mark.row.iconBlank.has_value()) << mark.row.title.toStdString();
    }
}

}  // namespace
