#include <gtest/gtest.h>

#include <QGuiApplication>

#include "platform/Accessibility.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"

using namespace rk;

// Here the Mac's facilities are missing: the host answers what is safe
// (not trusted, every selection refused, no windows, nothing running), and a
// settings link opens nothing, without a GUI application (nobody to hand it
// to) or with one (this desktop has no handler for the Mac's settings links).
TEST(HostSeams, NothingIsTrustedRunningOrOpenedHere) {
    Accessibility& access = Accessibility::current();
    EXPECT_FALSE(access.isProcessTrusted());
    EXPECT_EQ(access.setSelected(access.applicationElement(1)), AXError::apiDisabled);
    EXPECT_EQ(WindowList::current().onScreenWindows(), QList<WindowDescription>{});
    Workspace& host = Workspace::current();
    EXPECT_TRUE(host.runningApplications("com.apple.systempreferences").isEmpty());
    EXPECT_FALSE(host.frontmostBundleID());
    const QUrl link("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    EXPECT_FALSE(host.openURL(link, true));
    int argc = 1;
    char name[] = "host_settings_seams_test";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);  // offscreen under the test runner
    EXPECT_FALSE(host.openURL(link, true));
}
