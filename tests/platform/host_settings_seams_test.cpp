#include <gtest/gtest.h>

#include <QGuiApplication>

#include "platform/Accessibility.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"

using namespace rk;

TEST(HostAccessibility, NotTrustedAndEveryReadFails) {
    Accessibility& host = Accessibility::current();
    EXPECT_FALSE(host.isProcessTrusted());
    const AXElement app = host.applicationElement(1);
    host.setMessagingTimeout(app, 2.0);
    for (const char* name : {"AXWindows", "AXTitle", "AXRole", "AXChildren", "AXSelected"}) {
        EXPECT_FALSE(host.attribute(app, name)) << name;
    }
    EXPECT_EQ(host.setSelected(app), AXError::apiDisabled);
}

TEST(HostWorkspace, SystemSettingsDoesNotRunHere) {
    Workspace& host = Workspace::current();
    EXPECT_TRUE(host.runningApplications("com.apple.systempreferences").isEmpty());
    EXPECT_FALSE(host.frontmostBundleID());
    // No GUI application in this process: nobody to hand the link to.
    EXPECT_FALSE(
        host.openURL(QUrl("x-apple.systempreferences:com.apple.LoginItems-Settings.extension"), true));
}

TEST(HostWorkspace, SettingsLinksDoNotOpenOnThisDesktop) {
    int argc = 1;
    char name[] = "host_settings_seams_test";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);  // offscreen under the test runner
    EXPECT_FALSE(Workspace::current().openURL(
        QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"), true));
}

TEST(HostWindowList, ListsNoWindows) {
    const auto windows = WindowList::current().onScreenWindows();
    ASSERT_TRUE(windows);
    EXPECT_TRUE(windows->isEmpty());
}

namespace {
struct TrustedAccessibility : Accessibility {
    bool isProcessTrusted() override { return true; }
    AXElement applicationElement(std::int32_t) override { return {}; }
    void setMessagingTimeout(const AXElement&, double) override {}
    std::optional<AXValue> attribute(const AXElement&, const QString&) override { return std::nullopt; }
    std::int32_t setSelected(const AXElement&) override { return 0; }
};
}  // namespace

TEST(AccessibilitySeam, SetCurrentAndRestore) {
    TrustedAccessibility fake;
    Accessibility::setCurrent(&fake);
    EXPECT_EQ(&Accessibility::current(), &fake);
    EXPECT_TRUE(Accessibility::current().isProcessTrusted());
    Accessibility::setCurrent(nullptr);
    EXPECT_FALSE(Accessibility::current().isProcessTrusted());
}

TEST(AXElement, EqualOnlyToTheSameReference) {
    struct Thing : AXHandle {};
    const auto thing = std::make_shared<const Thing>();
    const AXElement a(thing);
    const AXElement copy = a;
    const AXElement other(std::make_shared<const Thing>());
    EXPECT_EQ(a, copy);
    EXPECT_NE(a, other);
    EXPECT_TRUE(AXElement().isNull());
    EXPECT_NE(a.as<Thing>(), nullptr);
}
