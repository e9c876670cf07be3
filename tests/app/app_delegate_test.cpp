// The delegate drives the updater: its items follow "Permissions…" in the
// app's menu, the model is made after the menu and before the start with
// the app's key, and a staged update is handed over last when the app quits.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/AppDelegate.h"
#include "app/Menus.h"
#include "support/DelegateFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

TEST(DelegateUpdater, StartedAfterTheMenuAndInstalledLastAtQuit) {
    ModelWorld world;
    QTemporaryDir frames;
    FakeUpdater updater;
    AppDelegate delegate({"rowkeeper"}, delegateSeams(world, frames.filePath("frames.ini"), &updater));
    updater.onCall = [&](const QString& call) {
        if (call == "start lark-spur") {
            EXPECT_EQ(world.counters->snapshot().value("launch"), 1);  // the launch is counted first
        }
        if (call == "install on quit") {
            EXPECT_GE(world.counters->writes(), 1);  // the counters are written before
            EXPECT_TRUE(QFile::exists(frames.filePath("frames.ini")));
        }
    };
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(updater.calls, (QStringList{"menu items after Permissions…", "model", "start lark-spur"}));
    delegate.applicationWillTerminate();
    delegate.applicationWillTerminate();  // once only
    EXPECT_EQ(updater.calls.last(), "install on quit");
    EXPECT_EQ(updater.calls.count("install on quit"), 1);
}

}  // namespace
