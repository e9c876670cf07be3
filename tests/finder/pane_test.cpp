#include "finder/Pane.h"

#include <gtest/gtest.h>

#include "finder/AXNode.h"

using namespace rk;

TEST(Pane, RawValuesTitlesAndLinks) {
    ASSERT_EQ(allPanes().size(), 2u);
    EXPECT_EQ(allPanes()[0], Pane::accessibility);
    EXPECT_EQ(allPanes()[1], Pane::loginItems);

    EXPECT_EQ(rawValue(Pane::accessibility), "accessibility");
    EXPECT_EQ(rawValue(Pane::loginItems), "loginItems");
    EXPECT_EQ(windowTitle(Pane::accessibility), "Accessibility");
    EXPECT_EQ(windowTitle(Pane::loginItems), "Login Items & Extensions");
    EXPECT_EQ(url(Pane::accessibility).toString(),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    EXPECT_EQ(url(Pane::loginItems).toString(),
              "x-apple.systempreferences:com.apple.LoginItems-Settings.extension");
}

TEST(Pane, OnlyTheExactRawValuesMakeAPane) {
    EXPECT_EQ(paneFromRaw("accessibility"), Pane::accessibility);
    EXPECT_EQ(paneFromRaw("loginItems"), Pane::loginItems);
    for (const char* other : {"Accessibility", "loginitems", "login Items", "", " accessibility"}) {
        EXPECT_FALSE(paneFromRaw(other)) << other;
    }
}

namespace {
PaneRow row(const QString& title, double y, PaneSection section = PaneSection::accessibility) {
    return PaneRow{section, title, Rect{120, y, 460, 40}, 0, true, std::nullopt};
}

SettingsSnapshot accessibilityPage() {
    SettingsSnapshot s;
    s.pid = 42;
    s.windowTitle = "Accessibility";
    s.windowFrame = Rect{100.7, 50, 715, 650};
    s.rows = {row("Tool", 312.4)};
    return s;
}
}  // namespace

TEST(Fingerprint, TitleFrameAndEveryRowInOrderWithItsSection) {
    SettingsSnapshot s = accessibilityPage();
    EXPECT_EQ(s.fingerprint(), "Accessibility;100,50,715,650;accessibility|Tool|312");
    s.windowTitle = "Login Items & Extensions";
    s.rows = {row("Mail", 200, PaneSection::openAtLogin),
              row("Sync|Helper;2", 260.99, PaneSection::background)};
    EXPECT_EQ(s.fingerprint(),
              "Login Items & Extensions;100,50,715,650;openAtLogin|Mail|200;background|Sync|Helper;2|260");
    s.rows.clear();
    EXPECT_EQ(s.fingerprint(), "Login Items & Extensions;100,50,715,650");
}

TEST(Fingerprint, NumbersTruncateTowardZero) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {-0.5, "0"}, {-1.5, "-1"}, {0.99, "0"}, {-0.0, "0"}, {1e20, "100000000000000000000"}, {-2.999, "-2"},
    };
    for (const Case& c : cases) {
        SettingsSnapshot s;
        s.windowTitle = "T";
        s.windowFrame = Rect{c.value, 0, 0, 0};
        EXPECT_EQ(s.fingerprint(), QString("T;%1,0,0,0").arg(c.text)) << c.value;
    }
}

TEST(Fingerprint, ValuesNoIntegerCanHoldStillGiveAText) {
    SettingsSnapshot s;
    s.windowTitle = "T";
    s.windowFrame = Rect{std::numeric_limits<double>::infinity(), std::nan(""), 1e300, -1e300};
    const QString text = s.fingerprint();
    EXPECT_TRUE(text.startsWith("T;inf,nan,1")) << text.toStdString();
    EXPECT_NE(text, SettingsSnapshot{}.fingerprint());
}

TEST(Fingerprint, OnlyWhatThePersonSeesMoving) {
    const QString base = accessibilityPage().fingerprint();

    SettingsSnapshot same = accessibilityPage();
    same.rows[0].frame.height = 12;
    same.rows[0].frame.x = 130;
    same.rows[0].frame.y = 312.9;
    same.rows[0].index = 3;
    same.minusFrames = {Rect{1, 2, 3, 4}};
    same.selectedTitles = {"Tool"};
    same.below = {"Other"};
    same.windowNumber = 77;
    same.pid = 1;
    EXPECT_EQ(same.fingerprint(), base);

    SettingsSnapshot moved = accessibilityPage();
    moved.rows[0].frame.y = 313.4;
    EXPECT_NE(moved.fingerprint(), base);

    SettingsSnapshot resized = accessibilityPage();
    resized.windowFrame.height = 651;
    EXPECT_NE(resized.fingerprint(), base);

    SettingsSnapshot renamed = accessibilityPage();
    renamed.rows[0].title = "Tool ";
    EXPECT_NE(renamed.fingerprint(), base);
}
