// The flattening of a System Settings window, on small hand-built trees.

#include <gtest/gtest.h>

#include "finder/SettingsDriver.h"
#include "support/SimulatedSettings.h"

using namespace rk;
using rk::test::SimulatedAXTree;

namespace {

using Attributes = QHash<QString, AXValue>;

const Rect kWindow{0, 0, 800, 600};

struct Tree {
    SimulatedAXTree ax;
    QString window;

    Tree() { window = ax.add({}, "AXWindow", kWindow, {{"AXTitle", QString("Accessibility")}}, "window"); }

    QList<AXNode> walk(int maxNodes = SettingsDriver::defaultMaxNodes,
                       int maxDepth = SettingsDriver::defaultMaxDepth) {
        return SettingsDriver::walk(ax.element(window), kWindow, maxNodes, maxDepth, ax);
    }
    QString keyOf(const AXNode& node) const { return ax.keyOf(node.ref); }
};

QStringList keys(const Tree& tree, const QList<AXNode>& nodes) {
    QStringList out;
    for (const AXNode& node : nodes)
        out << tree.keyOf(node);
    return out;
}

}  // namespace

TEST(Walk, SidebarOutlineIsRecordedButNeverEntered) {
    Tree t;
    const QString sidebar =
        t.ax.add(t.window, "AXOutline", {}, {{"AXDescription", QString("Sidebar")}}, "sidebar");
    const QString row = t.ax.add(sidebar, "AXRow", {}, {}, "sidebar-row");
    t.ax.add(row, "AXStaticText", {}, {{"AXValue", QString("Accessibility")}});
    // Only an outline described exactly "Sidebar" is the sidebar.
    const QString lower =
        t.ax.add(t.window, "AXOutline", {}, {{"AXDescription", QString("sidebar")}}, "lower");
    t.ax.add(lower, "AXRow", {}, {}, "lower-row");
    const QString group = t.ax.add(t.window, "AXGroup", {}, {{"AXDescription", QString("Sidebar")}}, "group");
    t.ax.add(group, "AXRow", {}, {}, "group-row");

    const QList<AXNode> nodes = t.walk();
    EXPECT_EQ(keys(t, nodes), (QStringList{"window", "sidebar", "lower", "group", "lower-row", "group-row"}));
    EXPECT_EQ(std::tuple(nodes[1].inSidebar, nodes[2].inSidebar, nodes[3].inSidebar),
              std::tuple(true, false, false));
    EXPECT_EQ(t.ax.readsUnder(sidebar), 0);
    EXPECT_GT(t.ax.readsUnder(lower), 0);
}

TEST(Walk, ReadsNothingPastTheNodeOrTheDepthLimitAndScrollAreasCutTheClip) {
    Tree t;
    for (int i = 0; i < 10; ++i)
        t.ax.add(t.window, "AXButton", {}, {}, QString("b%1").arg(i));
    EXPECT_EQ(keys(t, t.walk(4)), (QStringList{"window", "b0", "b1", "b2"}));
    EXPECT_TRUE(t.walk(0).isEmpty());
    EXPECT_EQ(t.ax.readsOf("b3"), 0);

    t.ax.clear();
    t.window = t.ax.add({}, "AXWindow", kWindow, {}, "window");
    QString parent = t.window;
    for (int depth = 1; depth <= 30; ++depth)
        parent = t.ax.add(parent, "AXGroup", {}, {}, QString("d%1").arg(depth));

    const QList<AXNode> nodes = t.walk();
    ASSERT_EQ(nodes.size(), 23);  // depths 0 to 22
    EXPECT_EQ(t.keyOf(nodes.last()), "d22");
    EXPECT_EQ(t.ax.readsUnder("d22"), 0);  // its children were never asked for
    EXPECT_EQ(t.ax.readsOf("d23"), 0);

    EXPECT_EQ(t.walk(5000, 2).size(), 3);

    Tree clipped;
    const QString outer =
        clipped.ax.add(clipped.window, "AXScrollArea", Rect{10, 100, 300, 200}, {}, "outer");
    const QString inner = clipped.ax.add(outer, "AXScrollArea", Rect{50, 150, 400, 400}, {}, "inner");
    const QString flat = clipped.ax.add(inner, "AXScrollArea", Rect{60, 160, 0, 50}, {}, "flat");
    clipped.ax.add(flat, "AXRow", Rect{60, 170, 100, 20}, {}, "row");
    const QString away = clipped.ax.add(clipped.window, "AXScrollArea", Rect{900, 0, 100, 100}, {}, "away");
    clipped.ax.add(away, "AXRow", Rect{900, 10, 100, 20}, {}, "hidden");

    QHash<QString, Rect> clips;
    for (const AXNode& node : clipped.walk())
        clips.insert(clipped.keyOf(node), node.clip);
    EXPECT_EQ(clips["window"], kWindow);
    EXPECT_EQ(clips["outer"], (Rect{10, 100, 300, 200}));
    EXPECT_EQ(clips["inner"], (Rect{50, 150, 260, 150}));
    EXPECT_EQ(std::pair(clips["flat"], clips["row"]),
              std::pair(clips["inner"], clips["inner"]));  // no width: no cut
    // Outside the window nothing shows at all.
    EXPECT_TRUE(std::isinf(clips["hidden"].x) && clips["hidden"].width == 0);
}

TEST(Walk, TextRule) {
    struct Case {
        const char* role;
        Attributes attributes;
        const char* text;
    } cases[] = {
        {"AXStaticText", {{"AXValue", QString("Hello")}, {"AXTitle", QString("Title")}}, "Hello"},
        {"AXStaticText", {{"AXValue", QString("")}, {"AXTitle", QString("Title")}}, "Title"},
        {"AXCheckBox", {{"AXValue", std::int64_t(1)}, {"AXTitle", QString("Switch")}}, "Switch"},
        {"AXCheckBox", {{"AXValue", std::int64_t(1)}}, ""},
        {"AXSlider", {{"AXValue", std::int64_t(42)}}, "42"},
        {"AXSlider", {{"AXValue", 0.5}}, "0.5"},
        {"AXSlider", {{"AXValue", 3.0}}, "3"},
        {"AXButton", {{"AXValue", true}, {"AXTitle", QString("Go")}}, "Go"},
        {"AXButton", {{"AXTitle", std::int64_t(7)}}, "7"},
        {"AXButton", {{"AXTitle", AXPoint{1, 2}}}, ""},
        {"AXButton", {}, ""},
    };
    for (const Case& c : cases) {
        Tree t;
        t.ax.add(t.window, c.role, {}, c.attributes, "x");
        const QList<AXNode> nodes = t.walk();
        ASSERT_EQ(nodes.size(), 2);
        EXPECT_EQ(nodes[1].text, c.text) << c.role << " " << c.text;
        EXPECT_EQ(nodes[1].role, c.role);
    }
}

// Failed reads give empty texts and zero parts; so do positions and sizes
// that are no number.
TEST(Walk, UnreadPartsAreEmptyOrZero) {
    Tree t;
    t.ax.add(t.window, "AXButton", Rect{10, 20, 30, 40},
             {{"AXDescription", QString("Remove")}, {"AXIdentifier", std::int64_t(5)}}, "x");
    t.ax.node("x")->failing = {"AXRole", "AXDescription", "AXSize"};
    t.ax.add(t.window, "AXRow", {}, {}, "bad");
    t.ax.node("bad")->attributes.insert("AXPosition", AXPoint{std::nan(""), 5});
    t.ax.node("bad")->attributes.insert("AXSize", AXSize{std::numeric_limits<double>::infinity(), 7});
    const QList<AXNode> nodes = t.walk();
    ASSERT_EQ(nodes.size(), 3);
    EXPECT_EQ(std::tuple(nodes[1].role, nodes[1].desc, nodes[1].ident), std::tuple("", "", "5"));
    EXPECT_EQ(nodes[1].frame, (Rect{10, 20, 0, 0}));
    EXPECT_EQ(nodes[2].frame, (Rect{0, 5, 0, 7}));
    // A window that went away is one node of nothing.
    const QList<AXNode> gone = SettingsDriver::walk(t.ax.element("gone"), kWindow, 5000, 22, t.ax);
    ASSERT_EQ(gone.size(), 1);
    EXPECT_EQ(std::tuple(gone[0].role, gone[0].clip, gone[0].parent), std::tuple("", kWindow, std::nullopt));
}
