#include "explain/Explainer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <functional>
#include <future>

#include "support/ExplainFakes.h"
#include "support/LoopbackServer.h"
#include "support/QtApp.h"

using namespace rk;
using rk::test::FakeAccount;
using rk::test::FakeOnDeviceModel;
using rk::test::LoopbackServer;
using Source = Explanation::Source;

namespace {

// The three items of the command-line explanation check.
QList<ExplainItem> sampleItems() {
    return {
        {"t1", "TEST Dropbox Helper", "com.example.TESTdropbox", "TESTdropboxd", "Dropbox, Inc."},
        {"t2", "TEST Sync Agent", "com.example.TESTsyncagent", "TESTsyncagent", "Quindle Widgetworks Ltd"},
        {"t3", "TEST Menu Clock", "com.example.TESTmenuclock", "TESTmenuclock", std::nullopt},
    };
}

ExplainItem unknown(int i) {
    return {"k" + QString::number(i), "Zorblax " + QString::number(i), std::nullopt, std::nullopt,
            std::nullopt};
}

// Runs the event loop until `done` or `ms` have passed; whether `done` came.
bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

struct Counter {
    std::shared_ptr<std::atomic<int>> asked = std::make_shared<std::atomic<int>>(0);
    ConsentQuestion answering(bool yes) const {
        return [asked = asked, yes] {
            ++*asked;
            return yes;
        };
    }
};

class ExplainerTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApp(test::AppKind::core, "explainer_test"); }

    ExplainServices services(OnDeviceModel* model, const GatewayConfig& gateway = {}) {
        ExplainServices s;
        s.onDevice = model;
        s.gateway = gateway;
        s.gateway.installId = "11111111-2222-3333-4444-555555555555";
        s.account = &account;
        return s;
    }
    GatewayConfig gatewayAt(const LoopbackServer& server) {
        GatewayConfig config;
        config.baseAddress = server.baseAddress();
        config.clientKey = "client-key";
        config.requestTimeout = std::chrono::seconds(10);
        return config;
    }

    FakeAccount account{"anna", "Anna Berg"};
    FakeOnDeviceModel model;
};

}  // namespace

// Who answers the items the rules do not know: the on-device model when it
// may and can, else the gateway once the person agrees, else nobody.
TEST_F(ExplainerTest, TheModelOrWithConsentTheGatewayAnswersTheRest) {
    struct Case {
        const char* name;
        bool allowOnDevice;
        bool available;
        std::optional<QString> modelFailure;
        int gatewayStatus;  // 0: no gateway configured
        bool agrees;
        Source source;
        int asked;
        int requests;
    } cases[] = {
        {"the on-device model answers", true, true, {}, 0, true, Source::onDevice, 0, 0},
        {"on-device not allowed, no gateway", false, true, {}, 0, true, Source::none, 0, 0},
        {"no on-device model", true, false, {}, 0, true, Source::none, 0, 0},
        {"the model fails", true, true, QString("model busy"), 0, true, Source::none, 0, 0},
        {"the model is used before the gateway", true, true, {}, 200, true, Source::onDevice, 0, 0},
        {"consent refused", false, true, {}, 200, false, Source::none, 1, 0},
        {"the gateway fails", false, true, {}, 500, true, Source::none, 1, 1},
        {"the gateway answers", false, true, {}, 200, true, Source::ai, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeOnDeviceModel local;
        local.isAvailable = c.available;
        local.failure = c.modelFailure;
        local.sentences = {{1, "It keeps your sync agent running."}, {2, "It shows a clock."}};
        LoopbackServer server(false, 4);
        server.reply(
            c.gatewayStatus,
            R"({"answers":[{"ref":0,"what":"It syncs your things."},{"ref":1,"what":"It shows a clock."}]})");
        Counter asked;
        const ExplainRun run =
            Explainer::run(sampleItems(), c.allowOnDevice, asked.answering(c.agrees),
                           services(&local, c.gatewayStatus ? gatewayAt(server) : GatewayConfig{}));
        EXPECT_EQ(run.source, c.source);
        EXPECT_EQ(*asked.asked, c.asked);
        EXPECT_EQ(server.requests().size(), c.requests);
        EXPECT_EQ(local.calls, c.allowOnDevice && c.available ? 1 : 0);
        EXPECT_EQ(run.answers["t1"].source, Source::rules);
        if (c.source == Source::none) {
            EXPECT_EQ(run.answers.keys(), QStringList{"t1"});
        } else {
            EXPECT_EQ(run.answers["t3"], (Explanation{"TEST Menu Clock", "It shows a clock.", c.source}));
        }
        // Only the items the rules did not know are asked about.
        EXPECT_FALSE(local.lastPrompt.contains("Dropbox"));
        for (const auto& request : server.requests()) {
            EXPECT_FALSE(request.body.contains("Dropbox"));
        }
    }
    // The host has no model at all; items the rules all know ask nobody.
    const ExplainRun host = Explainer::run(sampleItems(), true, {}, services(&OnDeviceModel::host()));
    EXPECT_EQ(host.source, Source::none);
    Counter asked;
    const ExplainRun known = Explainer::run({sampleItems()[0], {"d2", "Dropbox Web Helper", {}, {}, {}}},
                                            true, asked.answering(true), services(&model));
    EXPECT_EQ(known.source, Source::rules);
    EXPECT_EQ(known.answers.keys(), (QStringList{"d2", "t1"}));
    EXPECT_EQ(known.answers["t1"],
              (Explanation{"TEST Dropbox Helper", known.answers["d2"].what, Source::rules}));
    EXPECT_EQ(model.calls, 0);
    EXPECT_EQ(*asked.asked, 0);
}

TEST_F(ExplainerTest, AtMostFortyItemsGoToTheModelOnceEach) {
    QList<ExplainItem> items;
    for (int i = 0; i < 50; ++i)
        items.append(unknown(i));
    items.append(unknown(3));  // a repeated key is asked once
    for (int n = 1; n <= 50; ++n)
        model.sentences.insert(n, "Sentence " + QString::number(n) + ".");
    const ExplainRun run = Explainer::run(items, true, {}, services(&model));
    EXPECT_EQ(model.lastPrompt.split('\n').size(), Explainer::maxModelItems);
    EXPECT_EQ(run.answers.size(), Explainer::maxModelItems);
    EXPECT_TRUE(run.answers.contains("k39"));
    EXPECT_FALSE(run.answers.contains("k40"));
}

// The threaded dispatch asks and works away from the caller, answers on the
// caller's thread, and drops the answer once its context is gone.
TEST_F(ExplainerTest, TheThreadedDispatchWorksAwayAndAnswersOnTheCallersThread) {
    auto gone = std::make_unique<QObject>();
    QObject context;
    std::promise<void> release;
    const std::shared_future<void> gate = release.get_future().share();
    std::atomic<QThread*> askedOn{nullptr};
    std::atomic<int> asked{0};
    QThread* answeredOn = nullptr;
    QList<ExplainRun> delivered;
    ExplainServices s = services(&model);
    s.gateway.baseAddress = "https://gateway.invalid/";
    s.gateway.clientKey = "k";
    const ConsentQuestion refuse = [&, gate] {
        gate.wait();
        askedOn = QThread::currentThread();
        ++asked;
        return false;
    };
    const auto deliver = [&](ExplainRun r) {
        answeredOn = QThread::currentThread();
        delivered.append(r);
    };
    for (QObject* c : {gone.get(), &context})
        Explainer::explain(sampleItems(), false, refuse, c, deliver, s, ExplainDispatch::threaded());
    gone.reset();
    release.set_value();
    ASSERT_TRUE(waitFor([&] { return !delivered.isEmpty() && asked == 2; }));
    waitFor([] { return false; }, 100);  // whatever the workers post back has had time to arrive
    ASSERT_EQ(delivered.size(), 1);
    EXPECT_EQ(answeredOn, QThread::currentThread());
    EXPECT_NE(askedOn.load(), nullptr);
    EXPECT_NE(askedOn.load(), QThread::currentThread());
    EXPECT_EQ(delivered[0].source, Source::none);
    EXPECT_EQ(delivered[0].answers.keys(), QStringList{"t1"});
}

TEST(ExplanationSource, RawTextsReadBack) {
    const std::pair<Source, const char*> raw[] = {{Source::rules, "rules"},
                                                  {Source::onDevice, "on this Mac"},
                                                  {Source::ai, "AI"},
                                                  {Source::none, "none"}};
    for (const auto& [source, text] : raw) {
        EXPECT_EQ(Explanation::rawValue(source), text);
        EXPECT_EQ(Explanation::fromRawValue(text), source);
    }
    EXPECT_EQ(Explanation::fromRawValue("ai"), std::nullopt);
}
