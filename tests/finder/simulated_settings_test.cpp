// The reader and the write gate against the whole window of the simulated
// System Settings, its sidebar, toolbar, buttons and switches included.

#include <gtest/gtest.h>

#include "finder/AXWrite.h"
#include "finder/SettingsDriver.h"
#include "support/SimulatedSettings.h"

using namespace rk;
using namespace rk::test;

namespace {

struct Sim : ::testing::Test {
    SimulatedSettings settings;
    void SetUp() override {
        settings.install();
        settings.setAccessibilityRows({{"Alpha", SimulatedIcon::colourful, "com.example.alpha"},
                                       {"Tool", SimulatedIcon::blankDocument, "/old/Tool"},
                                       {"Tool", SimulatedIcon::colourful, "com.example.tool"}});
        settings.showPage(SimulatedPage::accessibility);
    }
};

}  // namespace

TEST_F(Sim, AccessibilityPageReadsItsRowsAndNeverTheSidebar) {
    const auto s = SettingsDriver::snapshot(Pane::accessibility);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->pid, settings.pid());
    EXPECT_EQ(s->windowNumber, settings.windowNumber());
    EXPECT_EQ(s->rowRefs.keys(), (QList<int>{0, 1, 2}));
    EXPECT_TRUE(s->below.isEmpty());
    EXPECT_EQ(
        s->fingerprint(),
        "Accessibility;100,50,715,650;accessibility|Alpha|154;accessibility|Tool|194;accessibility|Tool|234");
    // The minus button under the list serves every row.
    ASSERT_EQ(s->minusFrames.size(), 1);
    EXPECT_EQ(SettingsDriver::minus(s->rows[2], *s), s->minusFrames[0]);
    EXPECT_EQ(settings.sidebarReads(), 0);
}

TEST_F(Sim, TheGateKeepsButtonsAndSwitchesOfTheWindowUntouched) {
    // Try every element of the window through the gate, as System Settings' own.
    int selected = 0;
    for (const AXNode& node : SettingsDriver::walk(settings.element("window"), settings.windowFrame())) {
        LiveAXElement element(node.ref, SettingsDriver::bundleID());
        selected += AXWrite::select(element).ok();
    }
    EXPECT_EQ(selected, 3);  // the list rows
    EXPECT_TRUE(settings.forbiddenWrites().isEmpty());
    EXPECT_EQ(settings.sidebarReads(), 0);
}
