// Links of the app's "rowkeeper" scheme: which link decides and what it
// counts, and a second launch handing its links to the running copy over the
// local socket (what the delegate does with them is in app_delegate_test).

#include <gtest/gtest.h>

#include <QLocalSocket>

#include "app/SingleInstance.h"
#include "app/model/LinkRouter.h"
#include "app/model/Step.h"
#include "support/DelegateFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

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

// Runs the event loop until `done` or the time has passed.
template <typename Done>
bool spinUntil(Done done, int ms = 5000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class Forwarding : public ::testing::Test {
protected:
    QString socketName() const { return folder.filePath("rk.socket"); }

    // A second launch runs in another process; a thread of its own stands in.
    bool forwardFromAnotherLaunch(const QStringList& sent) {
        bool forwarded = false;
        std::thread launch([&] { forwarded = SingleInstance(socketName()).forward(sent); });
        const qsizetype gotBefore = received.size();
        const bool arrived = spinUntil([&] { return received.size() > gotBefore; });
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
    spinUntil([&] { return !received.isEmpty(); }, 1000);  // the late launch's probe, if it arrives
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
    spinUntil([&] { return received.size() > heard; }, 1000);
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
}

// A raw value names its step exactly, case included.
TEST(Step, RawValuesAreExact) {
    EXPECT_EQ(Step::fromRawValue("loginItems"), Step(Step::loginItems));
    EXPECT_EQ(Step::fromRawValue("Accessibility"), std::nullopt);
    EXPECT_EQ(Step::fromRawValue("login-items"), std::nullopt);
}

}  // namespace
