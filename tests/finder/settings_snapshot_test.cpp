// Reading a page into a snapshot, on small hand-built windows: which rows
// are taken, which are further down, the background items of Login Items,
// the minus buttons, and finding the window and its number.

#include <gtest/gtest.h>

#include "finder/SettingsDriver.h"
#include "support/SimulatedSettings.h"

using namespace rk;
using rk::test::FakeWindowList;
using rk::test::FakeWorkspace;
using rk::test::SimulatedAXTree;

namespace {

using Attributes = QHash<QString, AXValue>;

constexpr std::int32_t kPid = 321;
const Rect kWindow{0, 0, 800, 600};
const Rect kVisible{0, 50, 800, 400};  // the page's scroll area: y 50 to 450

// A System Settings window with one scroll area holding the page.
struct Page {
    SimulatedAXTree ax;
    FakeWorkspace workspace;
    FakeWindowList windows;
    QString window;
    QString page;  // the group inside the scroll area
    QString table;

    explicit Page(const QString& title = "Accessibility") {
        window = ax.add({}, "AXWindow", kWindow, {{"AXTitle", title}}, "window");
        ax.setApplication(kPid, "app", {window});
        const QString scroll = ax.add(window, "AXScrollArea", kVisible, {}, "scroll");
        page = ax.add(scroll, "AXGroup", Rect{0, 50, 800, 2000}, {}, "page");
        table = ax.add(page, "AXTable", Rect{20, 60, 760, 1000}, {}, "table");
        workspace.applications = {RunningApplication{kPid, "com.apple.systempreferences"}};
        windows.windows = QList<WindowDescription>{WindowDescription{kPid, 0, 0, 0, 800, 600, 99}};
    }

    QString row(const QString& title, const Rect& frame, const Attributes& attributes = {}) {
        const QString key = ax.add(table, "AXRow", frame, attributes);
        const QString cell = ax.add(key, "AXCell", frame);
        ax.add(cell, "AXStaticText", Rect{frame.x + 30, frame.y + 10, 200, 16}, {{"AXValue", title}});
        return key;
    }

    std::optional<SettingsSnapshot> snapshot(Pane pane = Pane::accessibility) {
        return SettingsDriver::snapshot(pane, ax, workspace, windows);
    }
};

QStringList titles(const QList<PaneRow>& rows) {
    QStringList out;
    for (const PaneRow& row : rows)
        out << row.title;
    return out;
}

}  // namespace

TEST(SnapshotRows, VisibleRowsAndRowsFurtherDown) {
    struct Case {
        const char* name;
        Rect frame;
        bool inRows;
        bool inBelow;
    } cases[] = {
        {"inside", {20, 100, 760, 40}, true, false},
        {"fits with the one-point slack at the top", {20, 48, 760, 40}, true, false},
        {"cut at the top", {20, 47.9, 760, 40}, false, true},
        {"fits with the slack at the bottom", {20, 412, 760, 40}, true, false},
        {"cut at the bottom", {20, 412.5, 760, 40}, false, true},
        {"wholly below", {20, 700, 760, 40}, false, true},
        {"one point high, inside", {20, 100, 760, 1}, false, false},
        {"one point high, below the clip", {20, 450.5, 760, 1}, false, true},
        {"flat, at the clip's bottom edge", {20, 450, 760, 0}, false, false},
        {"two points high", {20, 100, 760, 2}, true, false},
    };
    for (const Case& c : cases) {
        Page p;
        p.row(c.name, c.frame);
        const auto s = p.snapshot();
        ASSERT_TRUE(s) << c.name;
        EXPECT_EQ(s->rows.size() == 1, c.inRows) << c.name;
        EXPECT_EQ(s->below.contains(c.name), c.inBelow) << c.name;
    }
}

TEST(SnapshotRows, IndexesCountOnlyTakenRowsAndEachHasItsElement) {
    Page p;
    const QString a = p.row("Alpha", {20, 60, 760, 40}, {{"AXSelected", true}});
    p.row("Hidden", {20, 900, 760, 40});
    const QString b = p.row("Beta", {20, 100, 760, 40}, {{"AXSelected", std::int64_t(1)}});
    p.ax.add(p.table, "AXRow", Rect{20, 140, 760, 40}, {}, "untitled");  // no text under it: ignored

    const auto s = p.snapshot();
    ASSERT_TRUE(s);
    EXPECT_EQ(titles(s->rows), (QStringList{"Alpha", "Beta"}));
    EXPECT_EQ(s->rows[1], (PaneRow{PaneSection::accessibility, "Beta", Rect{20, 100, 760, 40}, 1, true, {}}));
    EXPECT_EQ(s->rows[0].index, 0);
    EXPECT_EQ(std::tuple(p.ax.keyOf(s->rowRefs.value(0)), p.ax.keyOf(s->rowRefs.value(1)), s->rowRefs.size()),
              std::tuple(a, b, 2));
    // Only a true Boolean counts as selected.
    EXPECT_EQ(s->selectedTitles, QStringList{"Alpha"});
    EXPECT_EQ(s->below, QStringList{"Hidden"});
    EXPECT_EQ(s->pid, kPid);
    EXPECT_EQ(s->windowNumber, 99u);
}

TEST(SnapshotRows, TitleIsTheNearestWordsUnderTheRow) {
    Page p;
    const Rect frame{20, 100, 760, 40};
    const QString row = p.ax.add(p.table, "AXRow", frame);
    const QString cell = p.ax.add(row, "AXCell", frame);
    const QString group = p.ax.add(cell, "AXGroup", frame);
    p.ax.add(group, "AXStaticText", frame, {{"AXValue", QString("deeper")}});
    p.ax.add(cell, "AXStaticText", frame, {{"AXValue", QString("")}});
    p.ax.add(cell, "AXStaticText", frame, {{"AXValue", QString("nearer")}});

    const auto s = p.snapshot();
    ASSERT_TRUE(s);
    EXPECT_EQ(titles(s->rows), QStringList{"nearer"});
}

namespace {

// One background item on the Login Items page: label, switch and detail
// line, all children of one group, as System Settings lays them out.
struct Item {
    QString name = "Helper";
    QString label = "Helper";
    Rect labelFrame{100, 200, 120, 16};
    Rect switchFrame{400, 205, 38, 22};
    std::optional<Rect> detailFrame = Rect{100, 218, 200, 14};
    QString switchDesc;
    bool labelElsewhere = false;  // in a group of its own, not the switch's
};

void addItem(Page& p, const QString& group, const Item& item) {
    const QString labelGroup =
        item.labelElsewhere ? p.ax.add(p.page, "AXGroup", Rect{20, 180, 760, 400}) : group;
    p.ax.add(labelGroup, "AXStaticText", item.labelFrame, {{"AXValue", item.label}});
    if (item.detailFrame) {
        p.ax.add(group, "AXStaticText", *item.detailFrame,
                 {{"AXValue", QString("Item from unidentified developer")},
                  {"AXIdentifier", "background-detail-for-" + item.name + "-app-login-items"}});
    }
    p.ax.add(group, "AXCheckBox", item.switchFrame,
             {{"AXValue", std::int64_t(1)},
              {"AXDescription", item.switchDesc},
              {"AXIdentifier", "background-switch-" + item.name}});
}

std::optional<SettingsSnapshot> backgroundPage(const Item& item, Pane pane = Pane::loginItems) {
    Page p("Login Items & Extensions");
    const QString group = p.ax.add(p.page, "AXGroup", Rect{20, 180, 760, 400});
    addItem(p, group, item);
    return p.snapshot(pane);
}

}  // namespace

TEST(SnapshotBackground, WhichSwitchesAndLabelsMakeARow) {
    struct Case {
        const char* name;
        Item item;
        bool row;
        Pane pane = Pane::loginItems;
    };
    auto with = [](auto change) {
        Item item;
        change(item);
        return item;
    };
    const Case cases[] = {
        {"plain", Item{}, true},
        {"switch 25 wide", with([](Item& i) { i.switchFrame.width = 25; }), false},
        {"switch 25.5 wide", with([](Item& i) { i.switchFrame.width = 25.5; }), true},
        {"switch with a description", with([](Item& i) { i.switchDesc = "Helper"; }), false},
        {"label in other case", with([](Item& i) { i.label = "helper"; }), false},
        {"label with a trailing space", with([](Item& i) { i.label = "Helper "; }), false},
        {"decomposed label, composed identifier", with([](Item& i) {
             i.name = QString::fromUtf8("Caf\xC3\xA9");
             i.label = QString::fromUtf8("Cafe\xCC\x81");
         }),
         true},
        {"label touching the switch", with([](Item& i) { i.labelFrame.width = 300; }), false},
        {"label 13.9 above", with([](Item& i) { i.labelFrame.y = 205 - 13.9; }), true},
        {"label 14 above", with([](Item& i) { i.labelFrame.y = 191; }), false},
        {"label 14 below", with([](Item& i) { i.labelFrame.y = 219; }), false},
        {"label in another group", with([](Item& i) { i.labelElsewhere = true; }), false},
        {"on the Accessibility page", Item{}, false, Pane::accessibility},
    };
    for (const Case& c : cases) {
        const auto s = backgroundPage(c.item, c.pane);
        ASSERT_TRUE(s) << c.name;
        EXPECT_EQ(s->rows.size() == 1, c.row) << c.name;
        EXPECT_TRUE(s->below.isEmpty()) << c.name;  // no row at all, not one further down
    }
}

// The row's box takes in the label, the switch and a detail line under the
// label within 30 points, then 44 points left for the icon, 6 up, 54 wider
// and 12 higher.
TEST(SnapshotBackground, FrameTakesInIconLabelSwitchAndDetailWithinThirtyPoints) {
    struct Case {
        std::optional<Rect> detail;
        double height;
    } cases[] = {
        {Rect{100, 218, 200, 14}, 44},      // 200..232
        {Rect{100, 229.9, 200, 14}, 55.9},  // 200..243.9
        {Rect{100, 230, 200, 14}, 39},      // too far: label and switch only, 200..227
        {Rect{100, 200, 200, 14}, 39},      // not below the label
        {std::nullopt, 39},
    };
    for (const Case& c : cases) {
        Item item;
        item.detailFrame = c.detail;
        const auto s = backgroundPage(item);
        ASSERT_TRUE(s);
        ASSERT_EQ(s->rows.size(), 1);
        const PaneRow& row = s->rows[0];
        EXPECT_DOUBLE_EQ(row.frame.height, c.height) << (c.detail ? c.detail->y : -1);
        EXPECT_EQ(
            row,
            (PaneRow{PaneSection::background, "Helper", {56, 194, 392, row.frame.height}, 0, false, {}}));
        EXPECT_TRUE(s->rowRefs.isEmpty() && s->selectedTitles.isEmpty());
    }
}

TEST(SnapshotBackground, NearestLabelOnTheLineWinsTheEarlierOnATie) {
    struct Case {
        double first;
        double second;
        double top;  // the row frame's top: the winning label's top - 6
    } cases[] = {
        {195, 203, 197},  // 10 and 2 from the switch's 205: the second
        {201, 209, 195},  // 4 and 4: the first
    };
    for (const Case& c : cases) {
        Page p("Login Items & Extensions");
        const QString group = p.ax.add(p.page, "AXGroup", Rect{20, 180, 760, 400});
        Item item;
        item.detailFrame.reset();
        item.labelFrame.y = c.first;
        addItem(p, group, item);
        p.ax.add(group, "AXStaticText", Rect{150, c.second, 100, 16}, {{"AXValue", QString("Helper")}});
        const auto s = p.snapshot(Pane::loginItems);
        ASSERT_TRUE(s);
        ASSERT_EQ(s->rows.size(), 1);
        EXPECT_DOUBLE_EQ(s->rows[0].frame.y, c.top) << c.first << "/" << c.second;
    }
}

TEST(SnapshotBackground, ItemsPastTheVisibleAreaAreFurtherDown) {
    Page p("Login Items & Extensions");
    p.row("Mail", {20, 60, 760, 40});
    const QString group = p.ax.add(p.page, "AXGroup", Rect{20, 180, 760, 400});
    const double tops[] = {200, 380, 420, 600};  // the last two reach past y 450
    const char* names[] = {"One", "Two", "Three", "Four"};
    for (int i = 0; i < 4; ++i) {
        Item item;
        item.name = item.label = names[i];
        item.labelFrame.y = tops[i];
        item.switchFrame.y = tops[i] + 5;
        item.detailFrame = Rect{100, tops[i] + 18, 200, 14};
        addItem(p, group, item);
    }
    const auto s = p.snapshot(Pane::loginItems);
    ASSERT_TRUE(s);
    EXPECT_EQ(titles(s->rows), (QStringList{"Mail", "One", "Two"}));
    // The background list counts on its own.
    EXPECT_EQ(std::tuple(s->rows[0].index, s->rows[1].index, s->rows[2].index), std::tuple(0, 0, 1));
    EXPECT_EQ(s->below, (QStringList{"Three", "Four"}));
    EXPECT_EQ(s->rowRefs.keys(), QList<int>{0});
}

TEST(SnapshotPage, AnotherPageKeepsItsTitleAndMinusButtons) {
    Page p("Accessibility");
    p.row("Tool", {20, 100, 760, 40}, {{"AXSelected", true}});
    p.row("Further", {20, 900, 760, 40});
    p.ax.add(p.page, "AXButton", Rect{50, 150, 22, 22}, {{"AXDescription", QString("Remove")}});

    const auto s = p.snapshot(Pane::loginItems);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->windowTitle, "Accessibility");
    EXPECT_TRUE(s->rows.isEmpty() && s->rowRefs.isEmpty() && s->selectedTitles.isEmpty() &&
                s->below.isEmpty());
    EXPECT_EQ(s->minusFrames, QList<Rect>{(Rect{50, 150, 22, 22})});
    EXPECT_EQ(s->windowNumber, 99u);
}

TEST(SnapshotPage, MinusButtonsInTreeOrder) {
    Page p;
    const QString sidebar =
        p.ax.add(p.window, "AXOutline", Rect{0, 0, 10, 10}, {{"AXDescription", QString("Sidebar")}});
    p.ax.add(sidebar, "AXButton", Rect{1, 1, 5, 5}, {{"AXDescription", QString("Remove")}});
    p.ax.add(p.page, "AXButton", Rect{50, 300, 22, 22}, {{"AXDescription", QString("Remove")}});
    p.ax.add(p.page, "AXButton", Rect{50, 150, 22, 22}, {{"AXTitle", QString("Remove")}});
    p.ax.add(p.page, "AXButton", Rect{50, 170, 0, 22}, {{"AXDescription", QString("Remove")}});
    p.ax.add(p.page, "AXButton", Rect{50, 190, 22, 22}, {{"AXDescription", QString("remove")}});
    p.ax.add(p.page, "AXImage", Rect{50, 210, 22, 22}, {{"AXDescription", QString("Remove")}});
    const auto s = p.snapshot();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->minusFrames, (QList<Rect>{Rect{50, 300, 22, 22}, Rect{50, 150, 22, 22}}));
}

TEST(SnapshotPage, NoneWithoutTrustProcessOrWindowButTheWindowNumberIsOptional) {
    Page untrusted, noProcess, lowWindow, noNumber;
    untrusted.ax.trusted = false;
    EXPECT_FALSE(untrusted.snapshot());
    EXPECT_EQ(untrusted.ax.totalReads(), 0);
    noProcess.workspace.applications.clear();
    EXPECT_FALSE(noProcess.snapshot());
    lowWindow.ax.node(lowWindow.window)->attributes.insert("AXSize", AXSize{800, 300});
    EXPECT_FALSE(lowWindow.snapshot());
    noNumber.windows.windows.reset();
    const auto s = noNumber.snapshot();
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->windowNumber);
}

TEST(MinusForRow, TheNearestButtonUnderTheRow) {
    const PaneRow row{PaneSection::accessibility, "Tool", Rect{100, 100, 400, 40}, 0, true, std::nullopt};
    struct Case {
        const char* name;
        QList<Rect> frames;
        std::optional<Rect> want;
    } cases[] = {
        {"the higher of two", {{110, 300, 22, 22}, {110, 150, 22, 22}}, Rect{110, 150, 22, 22}},
        {"level with the row is not under it", {{110, 100, 22, 22}}, std::nullopt},
        {"right edge 60 left of the row", {{18, 150, 22, 22}}, std::nullopt},
        {"right edge just inside the reach", {{18.5, 150, 22, 22}}, Rect{18.5, 150, 22, 22}},
        {"left edge at the row's right edge", {{500, 150, 22, 22}}, std::nullopt},
        {"equal tops: the earlier", {{130, 150, 22, 22}, {110, 150, 22, 22}}, Rect{130, 150, 22, 22}},
        {"none", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SettingsSnapshot s;
        s.minusFrames = c.frames;
        EXPECT_EQ(SettingsDriver::minus(row, s), c.want) << c.name;
    }
}

namespace {
struct Windows {
    SimulatedAXTree ax;
    QStringList keys;

    void add(const QString& title, const Rect& frame) {
        keys << ax.add({}, "AXWindow", frame, title.isNull() ? Attributes{} : Attributes{{"AXTitle", title}});
        ax.setApplication(kPid, "app", keys);
    }
    QString main(std::optional<Pane> pane) {
        const auto window = SettingsDriver::mainWindow(kPid, pane, ax);
        return window ? ax.keyOf(window->element) : QString("none");
    }
};
}  // namespace

TEST(MainWindow, PrefersThePanesTitleElseTheLargestOfTheTitledWindowsTallerThan300PointsOfAnAnsweringApp) {
    Windows w;
    w.add("Accessibility", Rect{0, 0, 400, 301});
    w.add("Privacy & Security", Rect{0, 0, 800, 600});
    w.add("Other", Rect{0, 0, 600, 800});  // same area, later
    EXPECT_EQ(QStringList({w.main(Pane::accessibility), w.main(std::nullopt), w.main(Pane::loginItems)}),
              QStringList({w.keys[0], w.keys[1], w.keys[1]}));
    const auto window = SettingsDriver::mainWindow(kPid, Pane::accessibility, w.ax);
    ASSERT_TRUE(window);
    EXPECT_EQ(std::pair(window->title, window->frame),
              std::pair(QString("Accessibility"), Rect{0, 0, 400, 301}));
    // The application element answers within two seconds or not at all.
    EXPECT_EQ(std::pair(w.ax.messagingTimeout(), w.ax.messagingTimeoutElement()),
              std::pair(std::optional<double>(2.0), QString("app")));
    Windows low;  // none of them counts
    low.add("Accessibility", Rect{0, 0, 2000, 300});
    low.add("", Rect{0, 0, 800, 600});
    low.add(QString(), Rect{0, 0, 800, 600});
    EXPECT_EQ(QStringList({low.main(Pane::accessibility), low.main(std::nullopt)}),
              QStringList({"none", "none"}));
    low.add("Sheet", Rect{0, 0, 100, 300.5});
    EXPECT_EQ(low.main(Pane::accessibility), low.keys[3]);
    EXPECT_FALSE(SettingsDriver::mainWindow(kPid + 1, std::nullopt, low.ax));
    low.ax.node("app")->failing = {"AXWindows"};
    EXPECT_EQ(low.main(Pane::accessibility), "none");
}

TEST(WindowNumber, MatchesOwnerLayerAndBoundsWithinThreePointsMissingPartsCountingAsZero) {
    const Rect frame{100, 50, 715, 650};
    auto described = [](std::int32_t pid, int layer, double dx, std::optional<WindowNumber> number) {
        return WindowDescription{pid, layer, 100 + dx, 50 - dx, 715 + dx, 650 - dx, number};
    };
    struct Case {
        const char* name;
        std::optional<QList<WindowDescription>> windows;
        std::optional<WindowNumber> want;
    } cases[] = {
        {"exact", QList<WindowDescription>{described(kPid, 0, 0, 7)}, 7},
        {"2.9 off", QList<WindowDescription>{described(kPid, 0, 2.9, 7)}, 7},
        {"3 off", QList<WindowDescription>{described(kPid, 0, 3, 7)}, std::nullopt},
        {"another process", QList<WindowDescription>{described(kPid + 1, 0, 0, 7)}, std::nullopt},
        {"another layer", QList<WindowDescription>{described(kPid, 25, 0, 7)}, std::nullopt},
        {"first match wins", QList<WindowDescription>{described(kPid, 0, 1, 7), described(kPid, 0, 0, 8)}, 7},
        {"first match has no number",
         QList<WindowDescription>{described(kPid, 0, 0, std::nullopt), described(kPid, 0, 0, 8)},
         std::nullopt},
        {"skips others first", QList<WindowDescription>{described(kPid, 3, 0, 5), described(kPid, 0, 0, 8)},
         8},
        {"no answer", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        FakeWindowList list;
        list.windows = c.windows;
        EXPECT_EQ(SettingsDriver::windowNumber(kPid, frame, list), c.want) << c.name;
    }
    FakeWindowList list;
    WindowDescription bare;
    bare.ownerPid = kPid;
    bare.layer = 0;
    bare.number = 4;
    list.windows = QList<WindowDescription>{bare};
    EXPECT_EQ(SettingsDriver::windowNumber(kPid, Rect{1, 2, 2.5, 0}, list), 4u);
    EXPECT_FALSE(SettingsDriver::windowNumber(kPid, Rect{0, 0, 3, 0}, list));
    bare.layer.reset();
    list.windows = QList<WindowDescription>{bare};
    EXPECT_FALSE(SettingsDriver::windowNumber(kPid, Rect{}, list));
}
