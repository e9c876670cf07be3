// The process entry's choice of mode and application, its dispatch to the
// command-line modes, and what the delegate reads again after launch.

#include "app/Dispatch.h"

#include <gtest/gtest.h>

#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

using K = Mode::Kind;

QStringList argv(const QStringList& rest) {
    return QStringList{QStringLiteral("/usr/bin/rowkeeper")} + rest;
}

TEST(Dispatch, PicksTheFirstModeThatApplies) {
    const Mode app{};
    const auto probe = [](Pane pane, std::optional<QString> photo = {}) {
        return Mode{.kind = K::probe, .pane = pane, .photoOut = photo};
    };
    const struct {
        const char* name;
        QStringList args;
        Mode expected;
    } cases[] = {
        {"nothing", argv({}), app},
        {"empty", {}, app},
        {"permission check before self-test", argv({"--selftest", "--permission-check"}),
         Mode{.kind = K::permissionCheck}},
        {"lint takes its own self-test", argv({"--permission-lint", "--selftest"}),
         Mode{.kind = K::permissionLint}},
        {"self-test before probe", argv({"--selftest", "--probe", "accessibility"}),
         Mode{.kind = K::selfTest}},
        {"trailing probe passed over", argv({"--settings-unchanged-check", "--probe"}),
         Mode{.kind = K::settingsUnchangedCheck}},
        {"probe", argv({"--probe", "accessibility"}), probe(Pane::accessibility)},
        {"probe capital is Login Items", argv({"--probe", "Accessibility"}), probe(Pane::loginItems)},
        {"probe trailing photo", argv({"--probe", "accessibility", "--photo"}), probe(Pane::accessibility)},
        {"probe photo", argv({"--photo", "/tmp/shot", "--probe", "accessibility"}),
         probe(Pane::accessibility, "/tmp/shot")},
        {"capture marketing", argv({"--marketing", "--capture-pages", "/tmp/pages"}),
         Mode{.kind = K::capturePages, .outDir = "/tmp/pages", .marketing = true}},
        {"trailing capture starts the app", argv({"--capture-pages"}), app},
        {"move-in default list", argv({"--move-in-check"}), Mode{.kind = K::moveInCheck}},
        {"move-in given list", argv({"--move-in-check", "/nonexistent"}),
         Mode{.kind = K::moveInCheck, .file = "/nonexistent"}},
        {"capture before move-in", argv({"--move-in-check", "--capture-pages", "/p"}),
         Mode{.kind = K::capturePages, .outDir = "/p"}},
        {"explain offline", argv({"--explain-check"}),
         Mode{.kind = K::explainCheck, .explainWord = "offline"}},
        {"explain gateway", argv({"--explain-check", "gateway"}),
         Mode{.kind = K::explainCheck, .explainWord = "gateway"}},
        {"ax dump", argv({"--ax-dump", "accessibility"}),
         Mode{.kind = K::axDump, .pane = Pane::accessibility}},
        {"ax dump filter", argv({"--ax-dump", "accessibility", "AXRow"}),
         Mode{.kind = K::axDump, .pane = Pane::accessibility, .filter = "AXRow"}},
        {"window shots are the delegate's", argv({"--permission-windowshot", "/tmp/w"}), app},
        {"case matters", argv({"--SelfTest", "--Permission-Check"}), app},
        {"whole arguments only", argv({"--selftest=1", "-selftest", "--selftest "}), app},
        {"program path searched too", QStringList{"--selftest"}, Mode{.kind = K::selfTest}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Dispatch::mode(c.args), c.expected) << c.name;
        // A mode is named by its flag; the window app by none.
        const QString flag = Dispatch::flag(c.expected.kind);
        EXPECT_EQ(c.args.contains(flag), !flag.isEmpty()) << c.name;
    }
}

// Only the window app and the modes that draw need a display. Rendering goes
// offscreen only without any display or chosen platform; the window app
// lacks a display only when the window system it would use names none, and
// then ends with one line.
TEST(Dispatch, DisplaysOffscreenAndNoDisplay) {
    EXPECT_EQ((QList<AppHost>{Dispatch::host(K::application), Dispatch::host(K::probe),
                              Dispatch::host(K::capturePages), Dispatch::host(K::selfTest)}),
              (QList<AppHost>{AppHost::windows, AppHost::render, AppHost::render, AppHost::console}));
    const std::tuple<const char*, const char*, const char*, bool, bool> cases[] = {
        {"", "", "", true, true},
        {":0", "", "", false, false},
        {"", "wayland-0", "", false, false},
        {"", "wayland-0", "xcb", false, true},
        {"", "", "offscreen", false, false},
        {"", "", "wayland;xcb", false, false}};
    for (const auto& [display, wayland, platform, offscreen, lacks] : cases) {
        EXPECT_EQ(Dispatch::wantsOffscreen(display, wayland, platform), offscreen)
            << display << wayland << platform;
        EXPECT_EQ(Dispatch::lacksDisplay(display, wayland, platform), lacks)
            << display << wayland << platform;
    }
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

// The permission modes declare the app to the wizard first.
TEST(Dispatch, RunsTheCommandLineModes) {
    EXPECT_EQ(runCapturing(Mode{.kind = K::moveInCheck, .file = "/nonexistent"}, argv({})),
              std::make_pair(2, std::string("NOT MEASURED: no rows in /nonexistent\n")));
    const auto [status, out] = runCapturing(Mode{.kind = K::permissionCheck}, argv({"--permission-check"}));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("{\"fulldisk\":", 0), 0u) << out;
    EXPECT_EQ(runCapturing(Mode{.kind = K::permissionLint}, argv({"--permission-lint"})),
              std::make_pair(0, std::string("permission-lint: 3 of 3 permissions meet the bar\n")));
    EXPECT_EQ(Dispatch::runCommandLine(Mode{}, argv({})), 1);
}

TEST(LaunchOptions, DemoOpenPaneWindowshotAndLinks) {
    const LaunchOptions none = LaunchOptions::from(argv({}));
    EXPECT_FALSE(none.demo || none.openPane || none.windowshotDir || !none.links.isEmpty());

    const LaunchOptions all = LaunchOptions::from(
        argv({"--demo", "--open-pane", "accessibility", "--permission-windowshot", "/tmp/w",
              "https://example.com", "ROWKEEPER://LoginItems", "rowkeeper:movein"}));
    EXPECT_TRUE(all.demo);
    EXPECT_EQ(all.openPane, Step(Step::accessibility));
    EXPECT_EQ(all.windowshotDir, QStringLiteral("/tmp/w"));
    ASSERT_EQ(all.links.size(), 2);
    EXPECT_EQ(all.links[0].toString(), QStringLiteral("rowkeeper://loginitems"));
    EXPECT_EQ(all.links[1].toString(), QStringLiteral("rowkeeper:movein"));

    // Any other page word opens Login Items; a trailing flag is ignored.
    EXPECT_EQ(LaunchOptions::from(argv({"--open-pane", "Accessibility"})).openPane, Step(Step::loginItems));
    EXPECT_FALSE(LaunchOptions::from(argv({"--open-pane"})).openPane);
    EXPECT_FALSE(LaunchOptions::from(argv({"--permission-windowshot"})).windowshotDir);
    // The program's own path is never a link, whatever it is called.
    EXPECT_TRUE(LaunchOptions::linksIn({QStringLiteral("rowkeeper:x")}).isEmpty());
}

}  // namespace
