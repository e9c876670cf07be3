#include "finder/Pane.h"

#include <gtest/gtest.h>

#include "finder/AXNode.h"

using namespace rk;

TEST(Pane, OnlyTheExactRawValuesMakeAPane) {
    for (const Pane pane : allPanes())
        EXPECT_EQ(paneFromRaw(rawValue(pane)), pane);
    for (const char* other : {"Accessibility", "loginitems", "login Items", "", " accessibility"})
        EXPECT_FALSE(paneFromRaw(other)) << other;
}

namespace {
PaneRow row(const QString& title, double y, PaneSection section = PaneSection::accessibility) {
    return PaneRow{section, title, Rect{120, y, 460, 40}, 0, true, std::nullopt};
}

SettingsSnapshot page(const QString& title, const Rect& frame, const QList<PaneRow>& rows = {}) {
    SettingsSnapshot s;
    s.pid = 42;
    s.windowTitle = title;
    s.windowFrame = frame;
    s.rows = rows;
    return s;
}
}  // namespace

TEST(Fingerprint, TitleFrameAndEveryRowInOrderNumbersTruncatedAndOnlyWhatThePersonSeesMoving) {
    struct Case {
        SettingsSnapshot snapshot;
        const char* text;
    } cases[] = {
        {page("Accessibility", {100.7, 50, 715, 650}, {row("Tool", 312.4)}),
         "Accessibility;100,50,715,650;accessibility|Tool|312"},
        {page("Login", {-0.5, -1.5, 0.99, -0.0},
              {row("Mail", 200, PaneSection::openAtLogin),
               row("Sync|Helper;2", 260.99, PaneSection::background)}),
         "Login;0,-1,0,0;openAtLogin|Mail|200;background|Sync|Helper;2|260"},
        {page("T", {1e20, -2.999, 0, 0}), "T;100000000000000000000,-2,0,0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.snapshot.fingerprint(), c.text);
    // Values no integer can hold still give a text.
    const QString odd =
        page("T", {std::numeric_limits<double>::infinity(), std::nan(""), 1e300, -1e300}).fingerprint();
    EXPECT_TRUE(odd.startsWith("T;inf,nan,1")) << odd.toStdString();
    const SettingsSnapshot base = page("Accessibility", {100, 50, 715, 650}, {row("Tool", 312.4)});
    auto changed = [&](auto edit) {
        SettingsSnapshot s = base;
        edit(s);
        return s.fingerprint() != base.fingerprint();
    };
    EXPECT_FALSE(changed([](SettingsSnapshot& s) {
        s.rows[0].frame = Rect{130, 312.9, 460, 12};
        s.rows[0].index = 3;
        s.minusFrames = {Rect{1, 2, 3, 4}};
        s.selectedTitles = {"Tool"};
        s.below = {"Other"};
        s.windowNumber = 77;
        s.pid = 1;
    }));
    EXPECT_TRUE(changed([](SettingsSnapshot& s) { s.rows[0].frame.y = 313.4; }));
    EXPECT_TRUE(changed([](SettingsSnapshot& s) { s.windowFrame.height = 651; }));
    EXPECT_TRUE(changed([](SettingsSnapshot& s) { s.rows[0].title = "Tool "; }));
}
