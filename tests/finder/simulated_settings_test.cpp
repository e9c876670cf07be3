// The reader against the simulated System Settings: both pages, scrolling,
// the person removing rows, and the write log.

#include <gtest/gtest.h>

#include "finder/AXWrite.h"
#include "finder/SettingsDriver.h"
#include "support/SimulatedSettings.h"

using namespace rk;
using namespace rk::test;

namespace {

QList<SimulatedRow> rows(const QStringList& titles) {
    QList<SimulatedRow> out;
    for (const QString& title : titles)
        out << SimulatedRow{title, SimulatedIcon::colourful, "com.example." + title};
    return out;
}

struct Sim : ::testing::Test {
    SimulatedSettings settings;
    void SetUp() override { settings.install(); }
};

}  // namespace

TEST_F(Sim, AccessibilityPageReadsItsRows) {
    settings.setAccessibilityRows(rows({"Alpha", "Beta", "Gamma"}));
    settings.showPage(SimulatedPage::accessibility);

    const auto s = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->pid, settings.pid());
    EXPECT_EQ(s->windowTitle, "Accessibility");
    EXPECT_EQ(s->windowFrame, (Rect{100, 50, 715, 650}));
    EXPECT_EQ(s->windowNumber, settings.windowNumber());
    EXPECT_EQ(s->rowRefs.keys(), (QList<int>{0, 1, 2}));
    EXPECT_TRUE(s->below.isEmpty());
    EXPECT_EQ(s->minusFrames.size(), 1);
    // Titles, sections and places of the rows.
    EXPECT_EQ(s->fingerprint(),
              "Accessibility;100,50,715,650;accessibility|Alpha|154;accessibility|Beta|194;accessibility|"
              "Gamma|234");
    // The minus button under the list serves every row.
    ASSERT_TRUE(SettingsDriver::minus(s->rows[0], *s));
    EXPECT_EQ(*SettingsDriver::minus(s->rows[2], *s), s->minusFrames[0]);
    EXPECT_EQ(settings.sidebarReads(), 0);
}

TEST_F(Sim, ThePhotoLayoutAgreesWithWhatIsRead) {
    settings.setOpenAtLoginRows(rows({"Mail"}));
    settings.setBackgroundItems(
        {SimulatedBackgroundItem{"Sync", "2 items: Example Ltd", SimulatedIcon::blankDocument, true,
                                 "com.example.sync"},
         SimulatedBackgroundItem{"Agent", "", SimulatedIcon::colourful, false, "agent"}});
    settings.showPage(SimulatedPage::loginItems);
    const auto s = SettingsDriver::snapshot(Pane::loginItems);
    ASSERT_TRUE(s);
    const SimulatedLayout layout = settings.layout();
    ASSERT_EQ(layout.rows.size(), s->rows.size());
    for (int i = 0; i < s->rows.size(); ++i) {
        EXPECT_EQ(layout.rows[i].title, s->rows[i].title);
        EXPECT_EQ(layout.rows[i].section, s->rows[i].section);
        EXPECT_EQ(layout.rows[i].frame, s->rows[i].frame) << i;
    }
    EXPECT_EQ(layout.minusButtons, s->minusFrames);
    EXPECT_EQ(layout.title, s->windowTitle);
    EXPECT_EQ(layout.rows[1].icon, SimulatedIcon::blankDocument);
    // The icon sits where the blank-icon test looks for it: for a background
    // row at (left + 18, top + 19), for a list row at (left + 20, middle).
    const Rect bgIcon = layout.rows[1].iconFrame;
    EXPECT_EQ(bgIcon.x + bgIcon.width / 2, s->rows[1].frame.x + 18);
    EXPECT_EQ(bgIcon.y + bgIcon.height / 2, s->rows[1].frame.y + 19);
    const Rect listIcon = layout.rows[0].iconFrame;
    EXPECT_EQ(listIcon.x + listIcon.width / 2, s->rows[0].frame.x + 20);
    EXPECT_EQ(listIcon.y + listIcon.height / 2, s->rows[0].frame.y + s->rows[0].frame.height / 2);
}

TEST_F(Sim, NoSnapshotWhenTooSlowOrOnTheHost) {
    settings.setAccessibilityRows(rows({"Alpha"}));
    settings.showPage(SimulatedPage::accessibility);

    settings.responseDelay = 3.0;  // longer than the two seconds the reader waits
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));
    EXPECT_EQ(settings.messagingTimeout(), 2.0);
    settings.responseDelay = 1.5;
    EXPECT_TRUE(SettingsDriver::snapshot(Pane::accessibility));

    settings.uninstall();  // the host: not trusted, nothing runs
    settings.setRunning(true);
    settings.showPage(SimulatedPage::accessibility);
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));
}

TEST_F(Sim, ThePersonRemovesTheSelectedRow) {
    QList<SimulatedRow> removed;
    settings.onRemove = [&](const SimulatedRow& row) { removed << row; };
    // Two rows of one name: the old copy and the live program.
    settings.setAccessibilityRows({SimulatedRow{"Tool", SimulatedIcon::blankDocument, "/old/Tool"},
                                   SimulatedRow{"Tool", SimulatedIcon::colourful, "com.example.tool"}});
    settings.showPage(SimulatedPage::accessibility);
    const auto s = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->rows.size(), 2);

    EXPECT_FALSE(settings.pressMinusAndConfirm());  // nothing selected yet
    ASSERT_TRUE(SettingsDriver::select(s->rows[0], *s));
    EXPECT_TRUE(settings.pressMinusAndConfirm());
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0].recordKey, "/old/Tool");

    const auto after = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(after);
    ASSERT_EQ(after->rows.size(), 1);
    EXPECT_EQ(settings.layout().rows[0].icon, SimulatedIcon::colourful);
    EXPECT_NE(after->fingerprint(), s->fingerprint());

    // The old snapshot's reference names a row that is gone: nothing is written.
    EXPECT_FALSE(SettingsDriver::select(s->rows[0], *s));
    EXPECT_EQ(settings.writes().size(), 1);
    EXPECT_TRUE(settings.forbiddenWrites().isEmpty());
}

TEST_F(Sim, TheGateKeepsButtonsAndSwitchesOfTheWindowUntouched) {
    settings.setAccessibilityRows(rows({"Alpha"}));
    settings.showPage(SimulatedPage::accessibility);
    // Try every element of the window through the gate, as System Settings' own.
    const QList<AXNode> nodes = SettingsDriver::walk(settings.element("window"), settings.windowFrame());
    int selected = 0;
    for (const AXNode& node : nodes) {
        LiveAXElement element(node.ref, SettingsDriver::bundleID());
        if (AXWrite::select(element).ok())
            ++selected;
    }
    EXPECT_EQ(selected, 1);  // the one list row
    EXPECT_TRUE(settings.forbiddenWrites().isEmpty());
    EXPECT_EQ(settings.sidebarReads(), 0);
}
