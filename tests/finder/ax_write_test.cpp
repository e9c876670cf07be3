// The write gate: nothing but selecting a row of System Settings gets through.

#include <gtest/gtest.h>

#include "finder/AXWrite.h"
#include "finder/SettingsDriver.h"
#include "support/SimulatedSettings.h"

using namespace rk;
using rk::test::SimulatedAXTree;
using Refusal = AXWrite::Refusal;

namespace {

// A made-up element that records what the gate asked of it.
struct RecordingElement : AXWrite::Element {
    std::optional<QString> roleValue;
    std::optional<QString> owner;
    std::int32_t code = 0;
    int roleReads = 0;
    int writes = 0;

    RecordingElement(std::optional<QString> role, std::optional<QString> owner, std::int32_t code)
        : roleValue(std::move(role)), owner(std::move(owner)), code(code) {}
    std::optional<QString> role() override { return ++roleReads, roleValue; }
    std::optional<QString> ownerBundleID() override { return owner; }
    std::int32_t setSelected() override { return ++writes, code; }
};

const QString kSettings = "com.apple.systempreferences";

}  // namespace

TEST(AXWriteGate, RefusesEverythingButASystemSettingsRow) {
    const QString notInSettings = "refused: element is not in System Settings";
    struct Case {
        const char* name;
        std::optional<QString> role;
        std::optional<QString> owner;
        std::int32_t code;
        std::optional<Refusal> refusal;  // none: success
        QString description;
        int writes;
        bool roleRead;
    } cases[] = {
        {"a Remove button", "AXButton", kSettings, 0, Refusal::notARow("AXButton"),
         "refused: element role is AXButton, not AXRow", 0, true},
        {"no role", std::nullopt, kSettings, 0, Refusal::notARow("none"), "", 0, true},
        {"a row in lower case", "axrow", kSettings, 0, Refusal::notARow("axrow"), "", 0, true},
        // The owner comes first: an element of another application is not even asked for its role.
        {"a row of another app", "AXRow", "com.example.tool", 0, Refusal::notSystemSettings(), notInSettings,
         0, false},
        {"a row without an owner", "AXRow", std::nullopt, 0, Refusal::notSystemSettings(), notInSettings, 0,
         false},
        {"an owner that only looks alike", "AXRow", "Com.apple.systempreferences", 0,
         Refusal::notSystemSettings(), notInSettings, 0, false},
        {"a System Settings row", "AXRow", kSettings, 0, std::nullopt, "", 1, true},
        {"a row the platform rejects", "AXRow", kSettings, -25202, Refusal::failed(-25202),
         "Accessibility error -25202", 1, true},
    };
    for (const Case& c : cases) {
        RecordingElement element(c.role, c.owner, c.code);
        const auto result = AXWrite::select(element);
        EXPECT_EQ(element.writes, c.writes) << c.name;
        EXPECT_EQ(element.roleReads > 0, c.roleRead) << c.name;
        EXPECT_EQ(result.ok(), !c.refusal) << c.name;
        if (c.refusal && !result.ok()) {
            EXPECT_EQ(result.error(), *c.refusal) << c.name;
            if (!c.description.isEmpty()) {
                EXPECT_EQ(result.error().description(), c.description) << c.name;
            }
        }
    }
    // Refusals are equal only with the same payload.
    EXPECT_NE(Refusal::notARow("AXButton"), Refusal::notARow("AXCheckBox"));
    EXPECT_NE(Refusal::failed(-25204), Refusal::failed(-25202));
    EXPECT_NE(Refusal::notSystemSettings(), Refusal::failed(0));
}

// Every element of the simulated System Settings window through the gate:
// only its list rows get through, never a button, switch or sidebar row.
TEST(AXWriteGate, KeepsEveryButtonAndSwitchOfTheWholeWindowUntouched) {
    test::SimulatedSettings settings;
    settings.install();
    settings.setAccessibilityRows({{"Alpha", test::SimulatedIcon::colourful, "a"},
                                   {"Tool", test::SimulatedIcon::blankDocument, "b"},
                                   {"Tool", test::SimulatedIcon::colourful, "c"}});
    settings.showPage(test::SimulatedPage::accessibility);
    int selected = 0;
    for (const AXNode& node : SettingsDriver::walk(settings.element("window"), settings.windowFrame())) {
        LiveAXElement element(node.ref, SettingsDriver::bundleID());
        selected += AXWrite::select(element).ok();
    }
    EXPECT_EQ(selected, 3);
    EXPECT_TRUE(settings.forbiddenWrites().isEmpty());
    EXPECT_EQ(settings.sidebarReads(), 0);
}

TEST(SelectRow, SelectsOnlyAListRowOfTheSnapshotAndReadsTheSelectionBack) {
    const PaneRow row{PaneSection::accessibility, "Tool", Rect{0, 0, 100, 40}, 0, true, std::nullopt};
    PaneRow background = row, elsewhere = row;
    background.section = PaneSection::background;
    background.selectable = false;
    elsewhere.index = 4;
    using Tree = SimulatedAXTree;
    const auto same = [](Tree&) {};
    const auto unreadable = [](Tree& ax) { ax.node("row")->failing = {"AXSelected"}; };
    const auto rejecting = [](Tree& ax) { ax.node("row")->selectable = false; };
    struct Case {
        const char* name;
        PaneRow row;
        std::function<void(Tree&)> change;
        bool selected;
        QList<std::int32_t> writes;  // the codes the platform gave
        int reads;                   // the gate's read of the role, then the read-back
    } cases[] = {
        {"the row", row, same, true, {0}, 2},
        {"a background row", background, same, false, {}, 0},
        {"an index the snapshot does not know", elsewhere, same, false, {}, 0},
        {"a failed read-back", row, unreadable, false, {0}, 2},
        {"a rejected write", row, rejecting, false, {AXError::attributeUnsupported}, 1},
        // Its role cannot be read, so the gate writes nothing.
        {"a row that went away", row, [](Tree& ax) { ax.remove("row"); }, false, {}, 2},
    };
    for (const Case& c : cases) {
        SimulatedAXTree ax;
        ax.node(ax.add({}, "AXRow", {}, {{"AXSelected", false}}, "row"))->selectable = true;
        SettingsSnapshot snapshot;
        snapshot.rows = {row};
        snapshot.rowRefs.insert(0, ax.element("row"));
        c.change(ax);
        EXPECT_EQ(SettingsDriver::select(c.row, snapshot, ax), c.selected) << c.name;
        QList<std::int32_t> codes;
        for (const auto& write : ax.writes())
            codes << write.code;
        EXPECT_EQ(codes, c.writes) << c.name;
        EXPECT_EQ(ax.totalReads(), c.reads) << c.name;
    }
}
