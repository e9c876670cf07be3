// The delegate's launch and quit: Move-In, then "--open-pane"; demo mode; the
// window's size and frame; window shots ending the launch; and the updater
// driven in its order (items after "Permissions…", the model before the start
// with the app's key, the install of a staged update last at quit).

#include <gtest/gtest.h>

#include <QMainWindow>

#include "app/model/Fixtures.h"
#include "permissions/PermissionWizard.h"
#include "support/DelegateFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

class LaunchSequence : public ::testing::Test {
protected:
    void SetUp() override { world.model = std::make_unique<AppModel>(world.seams); }

    std::unique_ptr<AppDelegate> launch(const QStringList& rest, bool moved = false) {
        AppDelegateSeams seams = delegateSeams(world, frames.filePath("frames.ini"), &updater);
        seams.detectMove = [moved] {
            return MoveIn::Move{moved, moved ? std::optional<QString>("Old Mac") : std::nullopt};
        };
        seams.configureWizard = [this] { ++configured; };
        auto delegate = std::make_unique<AppDelegate>(QStringList{"rowkeeper"} + rest, seams);
        delegate->applicationWillFinishLaunching();
        EXPECT_FALSE(delegate->applicationDidFinishLaunching());
        return delegate;
    }

    ModelWorld world;
    QTemporaryDir frames;
    FakeUpdater updater;
    int configured = 0;
};

// Demo mode stays on Start; demo is switched off again when not asked for.
TEST_F(LaunchSequence, AMovedMacOpensOnMoveInUnlessDemoOrOpenPaneSaysOtherwise) {
    {
        const auto delegate = launch({"--demo"}, true);
        EXPECT_EQ(configured, 1);
        EXPECT_TRUE(world.model->demo());
        EXPECT_EQ(world.model->step(), Step(Step::start));
        EXPECT_FALSE(world.model->movedFrom());
        EXPECT_TRUE(world.model->ticking());
        EXPECT_EQ(world.counters->snapshot().value("launch"), 1);
    }
    {
        const auto delegate = launch({}, true);
        EXPECT_FALSE(world.model->demo());
        EXPECT_EQ(world.model->step(), Step(Step::moveIn));
        EXPECT_EQ(world.model->movedFrom(), QStringLiteral("Old Mac"));
        // "movein.detected" is recorded but not one of the counted names.
        EXPECT_FALSE(world.counters->snapshot().contains("movein.detected"));
    }
    const auto delegate = launch({"--open-pane", "loginItems"}, true);
    EXPECT_EQ(world.model->step(), Step(Step::loginItems));
    EXPECT_EQ(world.settings.openedLinks(), QList<QUrl>{url(Pane::loginItems)});
}

TEST_F(LaunchSequence, WindowShotsEndTheLaunchBeforeMenusAndWindow) {
    KTPermissionWizard::resetForTesting();  // not configured: status 2, nothing drawn
    AppDelegate delegate({"rowkeeper", "--permission-windowshot", frames.filePath("shots")},
                         delegateSeams(world, frames.filePath("frames.ini")));
    delegate.applicationWillFinishLaunching();
    EXPECT_EQ(delegate.applicationDidFinishLaunching(), 2);
    EXPECT_EQ(delegate.window(), nullptr);
    EXPECT_FALSE(world.model->ticking());
}

TEST_F(LaunchSequence, TheWindowHasItsSizeMenusAndRemembersItsFrame) {
    {
        const auto delegate = launch({});
        QMainWindow* window = delegate->window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), QStringLiteral("main"));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Rowkeeper"));
        // The sizes are the content's; the menu bar comes on top of them.
        QCoreApplication::processEvents();
        const QSize bar = window->size() - window->centralWidget()->size();
        EXPECT_EQ(window->centralWidget()->size(), QSize(600, 820));
        EXPECT_EQ(window->minimumSize() - bar, QSize(600, 560));
        window->move(40, 30);
        window->resize(640, 700);
        window->close();
    }
    const auto again = launch({});
    EXPECT_EQ(again->window()->size(), QSize(640, 700));
    EXPECT_EQ(again->window()->pos(), QPoint(40, 30));
}

// The marks are up over a System Settings window when the app quits; the
// counters are written before the updater installs, once however often.
TEST_F(LaunchSequence, QuitHidesTheOverlayWritesTheCountersAndInstallsLast) {
    updater.onCall = [&](const QString& call) {
        if (call == "start lark-spur") {
            EXPECT_EQ(world.counters->snapshot().value("launch"), 1);  // the launch is counted first
        }
        if (call == "install on quit") {
            EXPECT_FALSE(world.model->overlay().isShowing());
            EXPECT_GE(world.counters->writes(), 1);
            EXPECT_TRUE(QFile::exists(frames.filePath("frames.ini")));
        }
    };
    const auto delegate = launch({});
    EXPECT_EQ(updater.calls, (QStringList{"menu items after Permissions…", "model", "start lark-spur"}));
    const PaneRow row = Fixtures::rows(Step::accessibility).first();
    world.model->overlay().show({Mark{Mark::Kind::remove, row, "Remove this"}}, std::nullopt,
                                Fixtures::photoWindow);
    ASSERT_TRUE(world.model->overlay().isShowing());

    const int before = world.counters->writes();
    delegate->applicationWillTerminate();
    delegate->applicationWillTerminate();
    EXPECT_FALSE(world.model->overlay().isShowing());
    EXPECT_EQ(world.counters->writes(), before + 1);
    EXPECT_EQ(updater.calls.last(), "install on quit");
    EXPECT_EQ(updater.calls.count("install on quit"), 1);
}

}  // namespace
