// The reader against the simulated System Settings: both pages, scrolling,
// opening by link, the person removing rows, and the write log.

#include <gtest/gtest.h>

#include <thread>

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

QStringList titles(const QList<PaneRow>& rows) {
    QStringList out;
    for (const PaneRow& row : rows)
        out << row.title;
    return out;
}

QStringList numbered(const QString& stem, int count) {
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QString("%1 %2").arg(stem).arg(i, 2, 10, QChar('0'));
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
    EXPECT_EQ(titles(s->rows), (QStringList{"Alpha", "Beta", "Gamma"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s->rows[i].index, i);
        EXPECT_EQ(s->rows[i].section, PaneSection::accessibility);
        EXPECT_TRUE(s->rows[i].selectable);
        EXPECT_TRUE(s->rowRefs.contains(i));
    }
    EXPECT_TRUE(s->below.isEmpty());
    EXPECT_EQ(s->minusFrames.size(), 1);
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

TEST_F(Sim, LoginItemsPageListsOpenAtLoginThenBackground) {
    settings.setOpenAtLoginRows(rows({"Mail", "Notes"}));
    QList<SimulatedBackgroundItem> items;
    for (const QString& name : numbered("Helper", 12)) {
        items << SimulatedBackgroundItem{name, "Item from unidentified developer", SimulatedIcon::colourful,
                                         true, "bg." + name};
    }
    settings.setBackgroundItems(items);
    settings.showPage(SimulatedPage::loginItems);

    const auto s = SettingsDriver::snapshot(Pane::loginItems);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->windowTitle, "Login Items & Extensions");
    EXPECT_EQ(s->rows[0].section, PaneSection::openAtLogin);
    EXPECT_EQ(s->rows[1].section, PaneSection::openAtLogin);
    EXPECT_EQ(s->rowRefs.size(), 2);
    int background = 0;
    for (const PaneRow& row : s->rows) {
        if (row.section != PaneSection::background)
            continue;
        EXPECT_EQ(row.index, background++);
        EXPECT_FALSE(row.selectable);
        EXPECT_EQ(row.frame.height, 44);
    }
    EXPECT_GT(background, 3);
    EXPECT_FALSE(s->below.isEmpty());  // the page is longer than the window
    EXPECT_EQ(background + s->below.size(), 12);
    EXPECT_EQ(s->below.last(), "Helper 12");
    EXPECT_EQ(settings.sidebarReads(), 0);
}

TEST_F(Sim, ScrollingMovesRowsInAndOut) {
    settings.setAccessibilityRows(rows(numbered("App", 20)));
    settings.showPage(SimulatedPage::accessibility);

    const auto top = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->rows.first().title, "App 01");
    EXPECT_EQ(top->rows.size() + top->below.size(), 20);
    EXPECT_EQ(top->below.last(), "App 20");
    EXPECT_TRUE(top->minusFrames.isEmpty() || top->minusFrames[0].y > 700);

    settings.scrollTo(10000);  // to the end
    const auto end = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->rows.last().title, "App 20");
    EXPECT_EQ(end->below.first(), "App 01");
    EXPECT_NE(end->fingerprint(), top->fingerprint());
    EXPECT_EQ(end->rows.first().index, 0);

    // Partly scrolled: the row cut at the top is further down, not read.
    settings.scrollTo(20);
    const auto cut = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->rows.first().title, "App 01");  // the heading scrolled off, not the first row
    settings.scrollTo(70);
    const auto cutRow = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(cutRow);
    EXPECT_EQ(cutRow->below.first(), "App 01");
    EXPECT_EQ(cutRow->rows.first().title, "App 02");
    EXPECT_EQ(settings.sidebarReads(), 0);
}

TEST_F(Sim, OpeningByLinkBringsThePageUpAfterAWhile) {
    settings.setAccessibilityRows(rows({"Alpha"}));
    settings.setOpenDelay(5);
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));  // not running

    SettingsDriver::open(Pane::accessibility);
    EXPECT_TRUE(settings.running());
    EXPECT_EQ(settings.frontmostBundleID(), "com.apple.systempreferences");
    EXPECT_EQ(
        settings.openedLinks(),
        QList<QUrl>{QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility")});

    // Still opening: no window yet.
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));
    std::optional<SettingsSnapshot> s;
    for (int attempt = 0; attempt < 20 && !s; ++attempt)
        s = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(s);
    EXPECT_EQ(titles(s->rows), QStringList{"Alpha"});

    // Another link shows another page.
    settings.setOpenDelay(0);
    settings.openURL(QUrl("x-apple.systempreferences:com.apple.preference.general"), true);
    const auto other = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->windowTitle, "General");
    EXPECT_TRUE(other->rows.isEmpty());
}

TEST_F(Sim, TheWrongPageGivesItsTitleAndMinusButtonsOnly) {
    settings.setAccessibilityRows(rows({"Alpha", "Beta"}));
    settings.showPage(SimulatedPage::accessibility);
    const auto s = SettingsDriver::snapshot(Pane::loginItems);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->windowTitle, "Accessibility");
    EXPECT_TRUE(s->rows.isEmpty());
    EXPECT_TRUE(s->below.isEmpty());
    EXPECT_EQ(s->minusFrames.size(), 1);
    EXPECT_TRUE(s->windowNumber);
}

TEST_F(Sim, NoSnapshotWhenNotTrustedNotRunningOrTooSlow) {
    settings.setAccessibilityRows(rows({"Alpha"}));
    settings.showPage(SimulatedPage::accessibility);

    settings.trusted = false;
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));
    settings.trusted = true;

    settings.responseDelay = 3.0;  // longer than the two seconds the reader waits
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));
    EXPECT_EQ(settings.messagingTimeout(), 2.0);
    settings.responseDelay = 1.5;
    EXPECT_TRUE(SettingsDriver::snapshot(Pane::accessibility));

    settings.setRunning(false);
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));

    settings.uninstall();  // the host: not trusted, nothing runs
    settings.setRunning(true);
    settings.showPage(SimulatedPage::accessibility);
    EXPECT_FALSE(SettingsDriver::snapshot(Pane::accessibility));
}

TEST_F(Sim, SelectingARowWritesOnceAndShowsInTheNextSnapshot) {
    settings.setAccessibilityRows(rows({"Alpha", "Beta"}));
    settings.showPage(SimulatedPage::accessibility);
    const auto s = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(s);

    EXPECT_TRUE(SettingsDriver::select(s->rows[1], *s));
    EXPECT_EQ(settings.selectedTitles(), QStringList{"Beta"});
    ASSERT_EQ(settings.writes().size(), 1);
    EXPECT_EQ(settings.writes()[0].role, "AXRow");
    EXPECT_EQ(settings.writes()[0].name, "Beta");
    EXPECT_TRUE(settings.forbiddenWrites().isEmpty());

    const auto again = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->selectedTitles, QStringList{"Beta"});
    EXPECT_EQ(again->fingerprint(), s->fingerprint());  // a selection is no movement
}

TEST_F(Sim, SelectionThatDoesNotStickOrIsRejected) {
    settings.setAccessibilityRows(rows({"Alpha"}));
    settings.showPage(SimulatedPage::accessibility);
    const auto s = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(s);

    settings.selectionSticks = false;
    EXPECT_FALSE(SettingsDriver::select(s->rows[0], *s));
    settings.selectionSticks = true;
    settings.rejectSelection = -25204;
    EXPECT_FALSE(SettingsDriver::select(s->rows[0], *s));
    EXPECT_TRUE(settings.selectedTitles().isEmpty());
    EXPECT_EQ(settings.writes().size(), 2);
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

TEST_F(Sim, RecordsGoneFromTheStoresLeaveThePage) {
    settings.setOpenAtLoginRows(rows({"Mail"}));
    settings.setBackgroundItems(
        {SimulatedBackgroundItem{"Sync", "", SimulatedIcon::colourful, true, "sync"}});
    settings.showPage(SimulatedPage::loginItems);
    settings.removeRecord("sync");
    const auto s = SettingsDriver::snapshot(Pane::loginItems);
    ASSERT_TRUE(s);
    EXPECT_EQ(titles(s->rows), QStringList{"Mail"});
}

TEST_F(Sim, TurningABackgroundItemOff) {
    QStringList switched;
    settings.onSwitch = [&](const SimulatedBackgroundItem& item) {
        switched << item.name + (item.on ? "+" : "-");
    };
    settings.setBackgroundItems(
        {SimulatedBackgroundItem{"Sync", "", SimulatedIcon::colourful, true, "sync"}});
    settings.showPage(SimulatedPage::loginItems);
    EXPECT_TRUE(settings.setBackgroundSwitch("Sync", false));
    EXPECT_FALSE(settings.setBackgroundSwitch("Nothing", false));
    EXPECT_EQ(switched, QStringList{"Sync-"});
    EXPECT_FALSE(settings.backgroundItems()[0].on);
    // The item stays listed; only its switch changed.
    const auto s = SettingsDriver::snapshot(Pane::loginItems);
    ASSERT_TRUE(s);
    EXPECT_EQ(titles(s->rows), QStringList{"Sync"});
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

TEST_F(Sim, WindowListAndWorkspaceAnswers) {
    settings.setWindowFrame(Rect{10, 20, 800, 600});
    settings.setWindowNumber(55);
    settings.setOtherWindows({WindowDescription{99, 0, 10, 20, 800, 600, 56}});
    EXPECT_TRUE(settings.onScreenWindows()->size() == 1);  // not running: only the other window
    settings.showPage(SimulatedPage::accessibility);
    EXPECT_EQ(SettingsDriver::windowNumber(settings.pid(), settings.windowFrame()), 55u);
    EXPECT_EQ(SettingsDriver::app()->pid, settings.pid());
    EXPECT_TRUE(settings.runningApplications("com.example.other").isEmpty());
    settings.setFrontmost(QString("com.example.other"));
    EXPECT_EQ(Workspace::current().frontmostBundleID(), "com.example.other");
}

TEST(SimulatedRows, BuiltFromStoreRecords) {
    TCCRow tcc;
    tcc.client = "com.example.tool";
    tcc.service = "kTCCServiceAccessibility";
    tcc.authValue = 2;
    const SimulatedRow row = SimulatedRow::fromTCC(tcc, "Tool", SimulatedIcon::blankDocument);
    EXPECT_EQ(row.title, "Tool");
    EXPECT_EQ(row.recordKey, "com.example.tool");
    EXPECT_TRUE(row.allowed);
    tcc.authValue = 0;
    EXPECT_FALSE(SimulatedRow::fromTCC(tcc, "Tool").allowed);

    BTMRecord record;
    record.name = "Sync";
    record.disposition = 0x2;  // not enabled
    record.url = "file:///Library/LaunchAgents/com.example.sync.plist";
    const SimulatedBackgroundItem item = SimulatedBackgroundItem::fromBTM(record);
    EXPECT_EQ(item.name, "Sync");
    EXPECT_FALSE(item.on);
    EXPECT_EQ(item.recordKey, *record.url);
    record.identifier = "16.com.example.sync";
    EXPECT_EQ(SimulatedRow::fromBTM(record).recordKey, "16.com.example.sync");
}

TEST_F(Sim, ReadsOnAnotherThreadWhileThePersonScrolls) {
    settings.setAccessibilityRows(rows(numbered("App", 30)));
    settings.showPage(SimulatedPage::accessibility);
    int read = 0;
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            if (const auto s = SettingsDriver::snapshot(Pane::accessibility); s && !s->rows.isEmpty())
                ++read;
        }
    });
    for (int i = 0; i < 200; ++i)
        settings.scrollTo(i % 50);
    worker.join();
    EXPECT_EQ(read, 20);
    EXPECT_EQ(settings.sidebarReads(), 0);
}
