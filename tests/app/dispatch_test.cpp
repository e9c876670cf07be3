// The process entry's choice of mode, what the delegate reads again after
// launch, and the launch sequence's order (Move-In, then "--open-pane").

#include "app/Dispatch.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMenuBar>
#include <QTemporaryDir>

#include "app/AppDelegate.h"
#include "app/model/AppModel.h"
#include "app/model/Fixtures.h"
#include "permissions/PermissionWizard.h"
#include "support/DelegateFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

using K = Mode::Kind;

QStringList argv(const QStringList& rest) {
    return QStringList{QStringLiteral("/usr/bin/rowkeeper")} + rest;
}

const Mode kApplication{};

struct DispatchCase {
    const char* name;
    QStringList args;
    Mode expected;
};

class DispatchTable : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchTable, PicksTheFirstModeThatApplies) {
    EXPECT_EQ(Dispatch::mode(GetParam().args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DispatchTable,
    ::testing::Values(
        DispatchCase{"Nothing", argv({}), kApplication}, DispatchCase{"Empty", {}, kApplication},
        DispatchCase{"PermissionCheckBeforeSelfTest", argv({"--selftest", "--permission-check"}),
                     Mode{.kind = K::permissionCheck}},
        DispatchCase{"LintTakesItsOwnSelfTest", argv({"--permission-lint", "--selftest"}),
                     Mode{.kind = K::permissionLint}},
        DispatchCase{"SelfTestBeforeProbe", argv({"--selftest", "--probe", "accessibility"}),
                     Mode{.kind = K::selfTest}},
        DispatchCase{"TrailingProbeIsPassedOver", argv({"--settings-unchanged-check", "--probe"}),
                     Mode{.kind = K::settingsUnchangedCheck}},
        DispatchCase{"ProbeAccessibility", argv({"--probe", "accessibility"}),
                     Mode{.kind = K::probe, .pane = Pane::accessibility}},
        DispatchCase{"ProbeCapitalIsLoginItems", argv({"--probe", "Accessibility"}),
                     Mode{.kind = K::probe, .pane = Pane::loginItems}},
        DispatchCase{"ProbeTrailingPhoto", argv({"--probe", "accessibility", "--photo"}),
                     Mode{.kind = K::probe, .pane = Pane::accessibility}},
        DispatchCase{"ProbePhoto", argv({"--photo", "/tmp/shot", "--probe", "accessibility"}),
                     Mode{.kind = K::probe, .pane = Pane::accessibility, .photoOut = "/tmp/shot"}},
        DispatchCase{"CaptureMarketing", argv({"--marketing", "--capture-pages", "/tmp/pages"}),
                     Mode{.kind = K::capturePages, .outDir = "/tmp/pages", .marketing = true}},
        DispatchCase{"TrailingCaptureStartsTheApp", argv({"--capture-pages"}), kApplication},
        DispatchCase{"MoveInDefaultList", argv({"--move-in-check"}), Mode{.kind = K::moveInCheck}},
        DispatchCase{"MoveInGivenList", argv({"--move-in-check", "/nonexistent"}),
                     Mode{.kind = K::moveInCheck, .file = "/nonexistent"}},
        DispatchCase{"CaptureBeforeMoveIn", argv({"--move-in-check", "--capture-pages", "/p"}),
                     Mode{.kind = K::capturePages, .outDir = "/p"}},
        DispatchCase{"ExplainOffline", argv({"--explain-check"}),
                     Mode{.kind = K::explainCheck, .explainWord = "offline"}},
        DispatchCase{"ExplainGateway", argv({"--explain-check", "gateway"}),
                     Mode{.kind = K::explainCheck, .explainWord = "gateway"}},
        DispatchCase{"AxDumpNoFilter", argv({"--ax-dump", "accessibility"}),
                     Mode{.kind = K::axDump, .pane = Pane::accessibility}},
        DispatchCase{"AxDumpFilter", argv({"--ax-dump", "accessibility", "AXRow"}),
                     Mode{.kind = K::axDump, .pane = Pane::accessibility, .filter = "AXRow"}},
        DispatchCase{"WindowshotIsTheDelegates", argv({"--permission-windowshot", "/tmp/w"}), kApplication},
        DispatchCase{"CaseMatters", argv({"--SelfTest", "--Permission-Check"}), kApplication},
        DispatchCase{"WholeArgumentsOnly", argv({"--selftest=1", "-selftest", "--selftest "}), kApplication},
        DispatchCase{"ProgramPathIsSearchedToo", QStringList{"--selftest"}, Mode{.kind = K::selfTest}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Dispatch, OnlyTheWindowAndTheRenderingModesNeedADisplay) {
    for (K kind : {K::permissionCheck, K::permissionLint, K::selfTest, K::probe, K::settingsUnchangedCheck,
                   K::capturePages, K::moveInCheck, K::explainCheck, K::axDump, K::application}) {
        const AppHost expected = kind == K::application                        ? AppHost::windows
                                 : kind == K::capturePages || kind == K::probe ? AppHost::render
                                                                               : AppHost::console;
        EXPECT_EQ(Dispatch::host(kind), expected) << Dispatch::flag(kind).toStdString();
    }
}

TEST(Dispatch, OffscreenOnlyWithoutAnyDisplayOrChosenPlatform) {
    EXPECT_TRUE(Dispatch::wantsOffscreen({}, {}, {}));
    EXPECT_FALSE(Dispatch::wantsOffscreen(":0", {}, {}));
    EXPECT_FALSE(Dispatch::wantsOffscreen({}, "wayland-0", {}));
    EXPECT_FALSE(Dispatch::wantsOffscreen({}, {}, "xcb"));
}

TEST(Dispatch, TheWindowAppLacksADisplayOnlyWhenItsWindowSystemNamesNone) {
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"", "", "", true},           {":0", "", "", false},
        {"", "wayland-0", "", false}, {"", "wayland-0", "xcb", true},
        {"", "", "offscreen", false}, {"", "", "wayland;xcb", false}};
    for (const auto& [display, wayland, platform, lacks] : cases)
        EXPECT_EQ(Dispatch::lacksDisplay(display, wayland, platform), lacks)
            << display << wayland << platform;
    EXPECT_EQ(Dispatch::noDisplayLine({}, "wayland-9"),
              "Rowkeeper needs a display for its window and could not open one (DISPLAY is not set, "
              "WAYLAND_DISPLAY is \"wayland-9\"). Without a desktop, start it under a virtual display: "
              "xvfb-run -a rowkeeper");
}

// A command-line mode's exit status and what it printed on standard output.
std::pair<int, std::string> runCapturing(const Mode& mode, const QStringList& args) {
    testing::internal::CaptureStdout();
    const int status = Dispatch::runCommandLine(mode, args);
    return {status, testing::internal::GetCapturedStdout()};
}

TEST(Dispatch, AMissingMoveInListIsNotMeasuredWithStatusTwo) {
    const auto [status, out] = runCapturing(Mode{.kind = K::moveInCheck, .file = "/nonexistent"}, argv({}));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(out, "NOT MEASURED: no rows in /nonexistent\n");
}

TEST(Dispatch, ThePermissionCheckConfiguresTheWizardAndAnswersInJson) {
    const auto [status, out] = runCapturing(Mode{.kind = K::permissionCheck}, argv({"--permission-check"}));
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("\"fulldisk\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"accessibility\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"screen\""), std::string::npos) << out;
}

// ---- What the delegate reads again ----------------------------------------------

TEST(LaunchOptions, DemoOpenPaneWindowshotAndLinks) {
    const LaunchOptions none = LaunchOptions::from(argv({}));
    EXPECT_FALSE(none.demo);
    EXPECT_FALSE(none.openPane);
    EXPECT_FALSE(none.windowshotDir);
    EXPECT_TRUE(none.links.isEmpty());

    const LaunchOptions all = LaunchOptions::from(
        argv({"--demo", "--open-pane", "accessibility", "--permission-windowshot", "/tmp/w",
              "https://example.com", "ROWKEEPER://LoginItems", "rowkeeper:movein"}));
    EXPECT_TRUE(all.demo);
    EXPECT_EQ(all.openPane, Step(Step::accessibility));
    EXPECT_EQ(all.windowshotDir, QStringLiteral("/tmp/w"));
    ASSERT_EQ(all.links.size(), 2);
    EXPECT_EQ(all.links[0].toString(), QStringLiteral("rowkeeper://loginitems"));
    EXPECT_EQ(all.links[1].toString(), QStringLiteral("rowkeeper:movein"));
}

TEST(LaunchOptions, AnyOtherPageWordOpensLoginItemsAndATrailingFlagIsIgnored) {
    EXPECT_EQ(LaunchOptions::from(argv({"--open-pane", "loginItems"})).openPane, Step(Step::loginItems));
    EXPECT_EQ(LaunchOptions::from(argv({"--open-pane", "Accessibility"})).openPane, Step(Step::loginItems));
    EXPECT_FALSE(LaunchOptions::from(argv({"--open-pane"})).openPane);
    EXPECT_FALSE(LaunchOptions::from(argv({"--permission-windowshot"})).windowshotDir);
    // The program's own path is never a link, whatever it is called.
    EXPECT_TRUE(LaunchOptions::linksIn({QStringLiteral("rowkeeper:x")}).isEmpty());
}

// ---- The launch sequence ---------------------------------------------------------

class LaunchSequence : public ::testing::Test {
protected:
    void SetUp() override { world.model = std::make_unique<AppModel>(world.seams); }

    std::unique_ptr<AppDelegate> launch(const QStringList& rest, bool moved) {
        AppDelegateSeams seams = delegateSeams(world, frames.filePath("frames.ini"));
        seams.detectMove = [moved] {
            return MoveIn::Move{moved,
                                moved ? std::optional<QString>(QStringLiteral("Old Mac")) : std::nullopt};
        };
        seams.configureWizard = [this] { ++configured; };
        auto delegate = std::make_unique<AppDelegate>(argv(rest), seams);
        delegate->applicationWillFinishLaunching();
        EXPECT_FALSE(delegate->applicationDidFinishLaunching());
        return delegate;
    }
    qint64 count(const QString& event) { return world.counters->snapshot().value(event); }

    ModelWorld world;
    QTemporaryDir frames;
    int configured = 0;
};

TEST_F(LaunchSequence, AMovedMacOpensOnMoveIn) {
    const auto delegate = launch({}, true);
    EXPECT_EQ(configured, 1);
    EXPECT_EQ(world.model->step(), Step(Step::moveIn));
    EXPECT_EQ(world.model->movedFrom(), QStringLiteral("Old Mac"));
    EXPECT_TRUE(world.model->ticking());
    EXPECT_EQ(count("launch"), 1);
    // "movein.detected" is recorded but not one of the counted names.
    EXPECT_FALSE(world.counters->snapshot().contains("movein.detected"));
}

TEST_F(LaunchSequence, WindowShotsEndTheLaunchBeforeMenusAndWindow) {
    KTPermissionWizard::resetForTesting();  // not configured: status 2, nothing drawn
    AppDelegate delegate(argv({"--permission-windowshot", frames.filePath("shots")}),
                         delegateSeams(world, frames.filePath("frames.ini")));
    delegate.applicationWillFinishLaunching();
    EXPECT_EQ(delegate.applicationDidFinishLaunching(), 2);
    EXPECT_EQ(delegate.window(), nullptr);
    EXPECT_FALSE(world.model->ticking());
}

TEST_F(LaunchSequence, OpenPaneWinsOverMoveInAndOpensThePage) {
    const auto delegate = launch({"--open-pane", "loginItems"}, true);
    EXPECT_EQ(world.model->step(), Step(Step::loginItems));
    ASSERT_EQ(world.settings.openedLinks().size(), 1);
    EXPECT_EQ(world.settings.openedLinks().first(), url(Pane::loginItems));
}

TEST_F(LaunchSequence, DemoModeStaysOnStartWhenMoved) {
    const auto delegate = launch({"--demo"}, true);
    EXPECT_TRUE(world.model->demo());
    EXPECT_EQ(world.model->step(), Step(Step::start));
    EXPECT_FALSE(world.model->movedFrom());
}

TEST_F(LaunchSequence, DemoIsSwitchedOffWhenNotAskedFor) {
    world.model->setDemo(true);
    const auto delegate = launch({}, false);
    EXPECT_FALSE(world.model->demo());
    EXPECT_EQ(world.model->step(), Step(Step::start));
}

TEST_F(LaunchSequence, TheWindowHasItsSizeMenusAndRemembersItsFrame) {
    {
        const auto delegate = launch({}, false);
        QMainWindow* window = delegate->window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), QStringLiteral("main"));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Rowkeeper"));
        EXPECT_EQ(window->menuBar(), delegate->menuBar());
        EXPECT_TRUE(window->isVisible());
        // The sizes are the content's; the menu bar comes on top of them.
        QCoreApplication::processEvents();
        const QSize bar = window->size() - window->centralWidget()->size();
        EXPECT_EQ(window->centralWidget()->size(), QSize(600, 820));
        EXPECT_EQ(window->minimumSize() - bar, QSize(600, 560));
        window->move(40, 30);
        window->resize(640, 700);
        window->close();
    }
    const auto again = launch({}, false);
    EXPECT_EQ(again->window()->size(), QSize(640, 700));
    EXPECT_EQ(again->window()->pos(), QPoint(40, 30));
}

TEST_F(LaunchSequence, TerminationHidesTheOverlayAndWritesTheCounters) {
    const auto delegate = launch({}, false);
    // The marks are up over a System Settings window when the app quits.
    const PaneRow row = Fixtures::rows(Step::accessibility).first();
    world.model->overlay().show({Mark{Mark::Kind::remove, row, "Remove this"}}, std::nullopt,
                                Fixtures::photoWindow);
    ASSERT_TRUE(world.model->overlay().isShowing());

    const int before = world.counters->writes();
    delegate->applicationWillTerminate();
    EXPECT_FALSE(world.model->overlay().isShowing());
    EXPECT_EQ(world.counters->writes(), before + 1);
    delegate->applicationWillTerminate();
    EXPECT_EQ(world.counters->writes(), before + 1);
}

}  // namespace
