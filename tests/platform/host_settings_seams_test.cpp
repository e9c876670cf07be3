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

TEST(HostWorkspace, SystemSettingsDoesNotRunAndItsLinksDoNotOpenHere) {
    Workspace& host = Workspace::current();
    EXPECT_TRUE(host.runningApplications("com.apple.systempreferences").isEmpty());
    EXPECT_FALSE(host.frontmostBundleID());
    const QUrl link("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    // Without a GUI application there is nobody to hand the link to; with
    // one, this desktop has no handler for the Mac's settings links.
    EXPECT_FALSE(host.openURL(link, true));
    int argc = 1;
    char name[] = "host_settings_seams_test";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);  // offscreen under the test runner
    EXPECT_FALSE(host.openURL(link, true));
}

TEST(HostWindowList, ListsNoWindows) {
    const auto windows = WindowList::current().onScreenWindows();
    ASSERT_TRUE(windows);
    EXPECT_TRUE(windows->isEmpty());
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
