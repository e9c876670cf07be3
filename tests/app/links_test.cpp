// The process entry's choice of mode and application, its dispatch to the
// command-line modes, and what the delegate reads again after launch. Links
// of the app's "rowkeeper" scheme: which link decides and what it counts,
// and a second launch handing its links to the running copy over the local
// socket (what the delegate does with them is in app_delegate_test).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocalSocket>

#include "app/Dispatch.h"
#include "app/SingleInstance.h"
#include "app/model/LinkRouter.h"
#include "app/model/Step.h"
#include "support/DelegateFakes.h"
#include "support/ModelFakes.h"
#include "support/QtApp.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

using K = Mode::Kind;

// The event names the page ("link." and its raw value), "link.unknown" a
// link of the scheme that names none, and nothing a list without our scheme.
TEST(Routes, TheFirstLinkOfTheSchemeDecides) {
    const struct {
        QStringList links;
        std::optional<Step::Value> step;
        const char* event;
    } cases[] = {
        {{}, std::nullopt, ""},
        {{"https://example.com/accessibility", "accessibility"}, std::nullopt, ""},
        {{"ROWKEEPER://LoginItems/"}, Step::loginItems, "link.loginItems"},
        {{"rowkeeper://done"}, std::nullopt, "link.unknown"},
        {{"https://example.com", "mailto:a@b.c", "rowkeeper://movein", "rowkeeper://accessibility"},
         Step::moveIn,
         "link.moveIn"},
        {{"rowkeeper://nothing", "rowkeeper://accessibility"}, std::nullopt, "link.unknown"},
    };
    for (const auto& c : cases) {
        const LinkRoute route = LinkRouter::route(LinkRouter::parse(c.links));
        EXPECT_EQ(route.event(), c.event) << c.links.join(' ').toStdString();
        EXPECT_EQ(route.step, c.step ? std::optional<Step>(*c.step) : std::nullopt);
    }
}

// ---- One copy per person ----------------------------------------------------------

class Forwarding : public ::testing::Test {
protected:
    QString socketName() const { return folder.filePath("rk.socket"); }

    // A second launch runs in another process; a thread of its own stands in.
    bool forwardFromAnotherLaunch(const QStringList& sent) {
        bool forwarded = false;
        std::thread launch([&] { forwarded = SingleInstance(socketName()).forward(sent); });
        const qsizetype gotBefore = received.size();
        const bool arrived = test::spinUntil([&] { return received.size() > gotBefore; });
        launch.join();
        return forwarded && arrived;
    }

    // The first launch's listener, collecting what later launches hand it.
    std::unique_ptr<SingleInstance> runningCopy() {
        auto running = std::make_unique<SingleInstance>(socketName());
        EXPECT_TRUE(running->listen());
        QObject::connect(running.get(), &SingleInstance::linksReceived,
                         [this](const QStringList& l) { received << l; });
        return running;
    }

    QTemporaryDir folder;
    QList<QStringList> received;
};

// Nobody listening means this launch runs itself, also over a socket left
// by a copy that crashed, which the new listener replaces.
TEST_F(Forwarding, NobodyListeningOrALeftoverSocketMeansThisLaunchListens) {
    EXPECT_FALSE(SingleInstance(socketName()).forward({"rowkeeper://accessibility"}, 200));
    ASSERT_TRUE(QFile(socketName()).open(QIODevice::WriteOnly));
    ASSERT_FALSE(SingleInstance(socketName()).forward({}, 200));
    EXPECT_TRUE(SingleInstance(socketName()).listen());
}

// Qt cannot read a link with a space in its host; handed over as text it
// still arrives, and the running copy reads it as the first launch would
// have read it: the app's scheme with a word that names no page.
TEST_F(Forwarding, ALinkQtCannotReadArrivesAsTypedAndNamesNoPage) {
    const auto running = runningCopy();
    const QStringList args = {"rowkeeper", "--demo", "rowkeeper://login items", "https://example.com"};
    ASSERT_TRUE(forwardFromAnotherLaunch(LaunchOptions::from(args).linkTexts));
    ASSERT_EQ(received, QList<QStringList>{{"rowkeeper://login items"}});
    const LinkRoute there = LinkRouter::route(LinkRouter::parse(received[0]));
    EXPECT_EQ(there.event(), QStringLiteral("link.unknown"));
    EXPECT_EQ(there, LinkRouter::route(LaunchOptions::from(args).links)) << "as at the first launch";
}

// A launch that lost the race to listen leaves the winner's socket; an
// oversized message is dropped; the next launches are heard, one without
// links too (it brings the window forward).
TEST_F(Forwarding, TheRunningCopyKeepsItsSocketAndDropsOversizedMessages) {
    const auto running = runningCopy();
    SingleInstance late(socketName());
    EXPECT_FALSE(late.listen() || late.isListening());
    test::spinUntil([&] { return !received.isEmpty(); }, 1000);  // the late launch's probe, if it arrives
    const auto heard = received.size();
    bool written = false;
    std::thread launch([&] {
        QLocalSocket socket;
        socket.connectToServer(socketName());
        if (!socket.waitForConnected(2000))
            return;
        socket.write(QByteArray(SingleInstance::maxMessageBytes + 10, 'x'));
        written = socket.waitForBytesWritten(2000);
        socket.disconnectFromServer();
        if (socket.state() != QLocalSocket::UnconnectedState)
            socket.waitForDisconnected(2000);
    });
    test::spinUntil([&] { return received.size() > heard; }, 1000);
    launch.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(received.size(), heard);
    ASSERT_TRUE(forwardFromAnotherLaunch({}));
    EXPECT_EQ(received.last(), QStringList{});
    ASSERT_TRUE(forwardFromAnotherLaunch({"rowkeeper://accessibility"}));
    EXPECT_EQ(received.last(), QStringList{"rowkeeper://accessibility"});
}

// One running copy per person and display: ":0.0" and ":0" are one X
// server; with no runtime folder the shared temporary one keeps people apart.
TEST(SingleInstanceName, ScopedToThePersonAndTheDisplay) {
    EXPECT_EQ(SingleInstance::displayFor("xcb", ":0.0", "wayland-1"), ":0");
    EXPECT_EQ(SingleInstance::displayFor("wayland", ":0", "wayland-1"), "wayland-1");
    EXPECT_EQ(SingleInstance::nameFor("/run/user/1000", "/tmp", 1000, ":0"),
              "/run/user/1000/rowkeeper-:0.socket");
    EXPECT_EQ(SingleInstance::nameFor({}, "/tmp", 1000, ":1"), "/tmp/rowkeeper-1000-:1.socket");
    EXPECT_EQ(SingleInstance::nameFor("/run/user/7", "/tmp", 7, "/run/user/7/wayland-1"),
              "/run/user/7/rowkeeper-_run_user_7_wayland-1.socket");
    EXPECT_EQ(SingleInstance::alreadyRunningLine({}),
              "Rowkeeper is already running; its window was brought forward.");
    EXPECT_EQ(SingleInstance::alreadyRunningLine({"--demo"}),
              "Rowkeeper is already running; its window was brought forward. Not used: --demo (options apply "
              "when Rowkeeper starts: quit it and start it again to use them).");
}

TEST(SingleInstanceWire, TextsSurviveTheTripExactly) {
    const QStringList sent = {"rowkeeper://accessibility",
                              "rowkeeper://login items",
                              "rowkeeper:",
                              QString::fromUtf8("rowkeeper://zug\u00e4nge/"),
                              " rowkeeper://a\nb ",
                              ""};
    EXPECT_EQ(SingleInstance::decode(SingleInstance::encode(sent)), sent);
    EXPECT_TRUE(SingleInstance::decode({}).isEmpty());
}

// A page link names its step.
TEST(Step, ForLink) {
    const struct {
        const char* link;
        std::optional<Step> want;
    } cases[] = {
        {"rowkeeper://accessibility", Step::accessibility},
        {"ROWKEEPER://Accessibility/", Step::accessibility},
        {"rowkeeper:loginitems", Step::loginItems},
        {"rowkeeper:///login-items/", Step::loginItems},
        {"rowkeeper://move-in", Step::moveIn},
        {"rowkeeper://movein", Step::moveIn},
        {"rowkeeper://start", Step::start},
        {"rowkeeper://", Step::start},
        {"rowkeeper:", Step::start},
        {"rowkeeper://done", std::nullopt},
        {"rowkeeper://login items", std::nullopt},     // invalid: empty host and path, yet not Start
        {"rowkeeper:%20accessibility", std::nullopt},  // only "/" is trimmed, not spaces
        {"https://login-items", std::nullopt},
        {"accessibility", std::nullopt},  // no scheme
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Step::forLink(QUrl(QString::fromUtf8(c.link))), c.want) << c.link;
    // A raw value names its step exactly, case included.
    EXPECT_EQ(Step::fromRawValue("loginItems"), Step(Step::loginItems));
    EXPECT_EQ(Step::fromRawValue("Accessibility"), std::nullopt);
}

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
        {"an empty folder is none", argv({"--capture-pages", ""}), app},
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
        EXPECT_EQ(!flag.isEmpty() && c.args.contains(flag), c.expected.kind != K::application) << c.name;
    }
}

// What the window app does not use is named, with why, above the options
// line; a command-line mode or arguments all used say nothing.
TEST(Dispatch, NamesWhatTheWindowAppDoesNotUse) {
    const QString page = QStringLiteral(" needs a page: accessibility or loginitems");
    const std::pair<QStringList, QString> cases[] = {
        {{}, {}},
        {{"--demo", "--open-pane", "accessibility", "rowkeeper://start", "--permission-windowshot", "/w"},
         {}},
        {{"--probe", "accessibility"}, {}},
        {{"--help"}, "--help is not an option Rowkeeper knows."},
        {{"--selftst", ""},
         "--selftst is not an option Rowkeeper knows; \"\" is not an option Rowkeeper knows."},
        {{"--probe"}, "--probe" + page + "."},
        {{"--capture-pages", ""}, "--capture-pages needs a folder."},
        {{"--photo", "x.png", "--marketing", "--open-pane"},
         "--photo goes only with --probe; --marketing goes only with --capture-pages; --open-pane" + page +
             "."},
    };
    for (const auto& [args, line] : cases) {
        const QStringList lines = Dispatch::unusedLines(argv(args));
        EXPECT_EQ(lines, line.isEmpty() ? QStringList() : QStringList({line, Dispatch::optionsLine()}))
            << args.join(' ').toStdString();
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
    // The hint runs what was asked, each argument as the shell gives it back.
    EXPECT_EQ(
        Dispatch::noDisplayLine(":1", {}, {"--open-pane", "loginitems", "", "my folder", "it's", "a\n"}),
        "Rowkeeper needs a display for its window and could not open one (DISPLAY is \":1\", "
        "WAYLAND_DISPLAY is not set). Without a desktop, start it under a virtual display: "
        "xvfb-run -a rowkeeper --open-pane loginitems '' 'my folder' 'it'\\''s' 'a\n'");
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
              std::make_pair(2, std::string("NOT MEASURED: no list at /nonexistent\n")));
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
    EXPECT_EQ(all.startArguments,
              QStringList({"--demo", "--open-pane", "accessibility", "--permission-windowshot", "/tmp/w"}));

    // Any other page word opens Login Items; a trailing flag is ignored.
    EXPECT_EQ(LaunchOptions::from(argv({"--open-pane", "Accessibility"})).openPane, Step(Step::loginItems));
    EXPECT_FALSE(LaunchOptions::from(argv({"--open-pane"})).openPane);
    EXPECT_FALSE(LaunchOptions::from(argv({"--permission-windowshot"})).windowshotDir);
    EXPECT_FALSE(LaunchOptions::from(argv({"--permission-windowshot", ""})).windowshotDir);
    // The program's own path is never a link, whatever it is called.
    EXPECT_TRUE(LaunchOptions::linksIn({QStringLiteral("rowkeeper:x")}).isEmpty());
}

}  // namespace
