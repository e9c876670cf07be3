// The write gate: nothing but selecting a row of System Settings gets through.

#include <gtest/gtest.h>

#include "finder/AXWrite.h"
#include "finder/SettingsDriver.h"
#include "support/SimulatedSettings.h"

using namespace rk;
using rk::test::SimulatedAXTree;

namespace {

// A made-up element that records what the gate asked of it.
struct RecordingElement : AXWrite::Element {
    std::optional<QString> roleValue;
    std::optional<QString> owner;
    std::int32_t code = 0;
    int roleReads = 0;
    int writes = 0;

    RecordingElement(std::optional<QString> role, std::optional<QString> owner, std::int32_t code = 0)
        : roleValue(std::move(role)), owner(std::move(owner)), code(code) {}

    std::optional<QString> role() override {
        ++roleReads;
        return roleValue;
    }
    std::optional<QString> ownerBundleID() override { return owner; }
    std::int32_t setSelected() override {
        ++writes;
        return code;
    }
};

const QString kSettings = "com.apple.systempreferences";

}  // namespace

TEST(AXWriteGate, RefusesEverythingButASystemSettingsRow) {
    struct Case {
        const char* name;
        std::optional<QString> role;
        std::optional<QString> owner;
        std::int32_t code;
        std::optional<AXWrite::Refusal> refusal;  // none: success
        const char* description;
        int writes;
        bool roleRead;
    } cases[] = {
        {"a Remove button", "AXButton", kSettings, 0, AXWrite::Refusal::notARow("AXButton"),
         "refused: element role is AXButton, not AXRow", 0, true},
        {"no role", std::nullopt, kSettings, 0, AXWrite::Refusal::notARow("none"),
         "refused: element role is none, not AXRow", 0, true},
        {"a row of another app", "AXRow", QString("com.example.tool"), 0,
         AXWrite::Refusal::notSystemSettings(), "refused: element is not in System Settings", 0, false},
        {"a row without an owner", "AXRow", std::nullopt, 0, AXWrite::Refusal::notSystemSettings(),
         "refused: element is not in System Settings", 0, false},
        {"an owner that only looks alike", "AXRow", QString("Com.apple.systempreferences"), 0,
         AXWrite::Refusal::notSystemSettings(), "refused: element is not in System Settings", 0, false},
        {"a row in lower case", "axrow", kSettings, 0, AXWrite::Refusal::notARow("axrow"),
         "refused: element role is axrow, not AXRow", 0, true},
        {"a System Settings row", "AXRow", kSettings, 0, std::nullopt, "", 1, true},
        {"a row the platform rejects", "AXRow", kSettings, -25202, AXWrite::Refusal::failed(-25202),
         "Accessibility error -25202", 1, true},
    };
    for (const Case& c : cases) {
        RecordingElement element(c.role, c.owner, c.code);
        const auto result = AXWrite::select(element);
        EXPECT_EQ(element.writes, c.writes) << c.name;
        EXPECT_EQ(element.roleReads > 0, c.roleRead) << c.name;
        if (!c.refusal) {
            EXPECT_TRUE(result.ok()) << c.name;
            continue;
        }
        ASSERT_FALSE(result.ok()) << c.name;
        EXPECT_EQ(result.error(), *c.refusal) << c.name;
        EXPECT_EQ(result.error().description(), c.description) << c.name;
    }
}

TEST(AXWriteGate, RefusalsDifferByPayload) {
    using R = AXWrite::Refusal;
    EXPECT_NE(R::notARow("AXButton"), R::notARow("AXCheckBox"));
    EXPECT_NE(R::failed(-25204), R::failed(-25202));
    EXPECT_NE(R::notSystemSettings(), R::failed(0));
}

TEST(LiveAXElement, ReadsTheRoleAndPassesTheCodeOn) {
    SimulatedAXTree ax;
    const QString row = ax.add({}, "AXRow", {}, {}, "row");
    ax.node(row)->selectable = true;
    const QString button = ax.add({}, "AXButton", {}, {}, "button");
    const QString odd = ax.add({}, "", {}, {}, "odd");

    LiveAXElement live(ax.element(row), kSettings, ax);
    EXPECT_EQ(live.role(), "AXRow");
    EXPECT_EQ(live.ownerBundleID(), kSettings);
    EXPECT_EQ(live.setSelected(), 0);
    EXPECT_EQ(LiveAXElement(ax.element(button), std::nullopt, ax).setSelected(),
              AXError::attributeUnsupported);
    EXPECT_FALSE(LiveAXElement(ax.element(odd), kSettings, ax).role());
    EXPECT_FALSE(LiveAXElement(ax.element("gone"), kSettings, ax).role());
    ax.node(button)->role.clear();
    ax.node(button)->attributes.insert("AXRole", std::int64_t(3));  // not a text
    EXPECT_FALSE(LiveAXElement(ax.element(button), kSettings, ax).role());
}

namespace {
struct Selection {
    SimulatedAXTree ax;
    SettingsSnapshot snapshot;
    PaneRow row{PaneSection::accessibility, "Tool", Rect{0, 0, 100, 40}, 0, true, std::nullopt};

    Selection() {
        const QString key = ax.add({}, "AXRow", {}, {{"AXSelected", false}}, "row");
        ax.node(key)->selectable = true;
        snapshot.rows = {row};
        snapshot.rowRefs.insert(0, ax.element(key));
    }
};
}  // namespace

TEST(SelectRow, SelectsAndReadsTheSelectionBack) {
    Selection s;
    EXPECT_TRUE(SettingsDriver::select(s.row, s.snapshot, s.ax));
    ASSERT_EQ(s.ax.writes().size(), 1);
    EXPECT_EQ(s.ax.writes()[0].role, "AXRow");
    EXPECT_EQ(s.ax.writes()[0].attribute, "AXSelected");
}

TEST(SelectRow, BackgroundRowsAndUnknownIndexesAreNotTouched) {
    Selection s;
    PaneRow background = s.row;
    background.section = PaneSection::background;
    background.selectable = false;
    EXPECT_FALSE(SettingsDriver::select(background, s.snapshot, s.ax));
    PaneRow elsewhere = s.row;
    elsewhere.index = 4;
    EXPECT_FALSE(SettingsDriver::select(elsewhere, s.snapshot, s.ax));
    EXPECT_EQ(s.ax.totalReads(), 0);
    EXPECT_TRUE(s.ax.writes().isEmpty());
}

TEST(SelectRow, AFailedReadBackIsFalse) {
    Selection s;
    s.ax.node("row")->failing = {"AXSelected"};
    EXPECT_FALSE(SettingsDriver::select(s.row, s.snapshot, s.ax));
    EXPECT_EQ(s.ax.writes().size(), 1);
}

TEST(SelectRow, ARejectedWriteIsNotReadBack) {
    Selection s;
    s.ax.node("row")->selectable = false;  // the platform answers with an error code
    const int before = s.ax.readsOf("row");
    EXPECT_FALSE(SettingsDriver::select(s.row, s.snapshot, s.ax));
    EXPECT_EQ(s.ax.writes().size(), 1);
    EXPECT_EQ(s.ax.writes()[0].code, AXError::attributeUnsupported);
    // Only the gate's role read; no read-back of "AXSelected".
    EXPECT_EQ(s.ax.readsOf("row"), before + 1);
}

TEST(SelectRow, ARowThatWentAwayIsNotWritten) {
    Selection s;
    s.ax.remove("row");
    EXPECT_FALSE(SettingsDriver::select(s.row, s.snapshot, s.ax));
    // Its role could not be read, so the gate wrote nothing.
    EXPECT_TRUE(s.ax.writes().isEmpty());
}
