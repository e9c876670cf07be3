#include "explain/Explainer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <future>

#include "support/ExplainFakes.h"
#include "support/LoopbackGateway.h"
#include "support/QtApp.h"

using namespace rk;
using rk::test::FakeAccount;
using rk::test::FakeOnDeviceModel;
using rk::test::LoopbackGateway;
using rk::test::ManualDispatch;
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
    GatewayConfig gatewayAt(const LoopbackGateway& server) {
        GatewayConfig config;
        config.baseAddress = server.baseAddress();
        config.clientKey = "client-key";
        config.requestTimeout = std::chrono::seconds(10);
        return config;
    }

    FakeAccount account{"anna", "Anna Berg"};
    FakeOnDeviceModel model;
    Counter consent;
};

}  // namespace

TEST_F(ExplainerTest, AllRuleAnswersGiveRulesWithoutAskingAnyone) {
    const QList<ExplainItem> items{sampleItems()[0], {"d2", "Dropbox Web Helper", {}, {}, {}}};
    const ExplainRun run = Explainer::run(items, true, consent.answering(true), services(&model));
    EXPECT_EQ(run.source, Source::rules);
    EXPECT_EQ(run.answers.size(), 2);
    EXPECT_EQ(run.answers["t1"].source, Source::rules);
    EXPECT_EQ(run.answers["t1"].name, "TEST Dropbox Helper");
    EXPECT_EQ(model.calls, 0);
    EXPECT_EQ(*consent.asked, 0);
}

TEST_F(ExplainerTest, TheOnDeviceModelAnswersTheRestAsOnThisMac) {
    model.sentences = {{1, "It keeps your sync agent running."}, {2, "It shows a clock in your menu bar."}};
    const ExplainRun run = Explainer::run(sampleItems(), true, consent.answering(true), services(&model));
    EXPECT_EQ(run.source, Source::onDevice);
    EXPECT_EQ(Explanation::rawValue(run.source), "on this Mac");
    EXPECT_EQ(run.answers["t1"].source, Source::rules);
    EXPECT_EQ(run.answers["t2"],
              (Explanation{"TEST Sync Agent", "It keeps your sync agent running.", Source::onDevice}));
    EXPECT_EQ(run.answers["t3"].what, "It shows a clock in your menu bar.");
    // Only the two items the rules did not know went to the model.
    EXPECT_FALSE(model.lastPrompt.contains("Dropbox"));
    EXPECT_TRUE(model.lastPrompt.contains("TEST Sync Agent"));
    EXPECT_EQ(*consent.asked, 0);
}

TEST_F(ExplainerTest, OnDeviceModelNotAllowedOrAbsentOrSilentGivesNone) {
    model.sentences = {{1, "An answer."}};
    struct Case {
        bool allow;
        bool available;
        std::optional<QString> failure;
    } cases[] = {{false, true, {}}, {true, false, {}}, {true, true, QString("model busy")}};
    for (const auto& c : cases) {
        model.isAvailable = c.available;
        model.failure = c.failure;
        model.calls = 0;
        const ExplainRun run =
            Explainer::run(sampleItems(), c.allow, consent.answering(false), services(&model));
        EXPECT_EQ(run.source, Source::none);
        EXPECT_EQ(run.answers.keys(), QStringList{"t1"});
        EXPECT_EQ(model.calls, c.allow && c.available ? 1 : 0);
    }
    // The host has no model at all.
    const ExplainRun host = Explainer::run(sampleItems(), true, {}, services(&OnDeviceModel::host()));
    EXPECT_EQ(host.source, Source::none);
}

TEST_F(ExplainerTest, OfflineNeverAsksConsent) {
    // No client key configured: a remote answer can never be requested.
    const ExplainRun run = Explainer::run(sampleItems(), false, consent.answering(true), services(&model));
    EXPECT_EQ(run.source, Source::none);
    EXPECT_EQ(*consent.asked, 0);
    EXPECT_EQ(run.answers.keys(), QStringList{"t1"});
}

TEST_F(ExplainerTest, RefusedConsentSendsNothing) {
    LoopbackGateway server;
    server.reply(200, R"({"answers":[{"ref":0,"what":"x"}]})");
    const ExplainRun run =
        Explainer::run(sampleItems(), false, consent.answering(false), services(&model, gatewayAt(server)));
    EXPECT_EQ(run.source, Source::none);
    EXPECT_EQ(*consent.asked, 1);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ExplainerTest, TheGatewayAnswersWithConsentAsAI) {
    LoopbackGateway server;
    server.reply(
        200,
        R"({"answers":[{"ref":0,"what":"It syncs your things."},{"ref":1,"what":"It shows a clock."}]})");
    const ExplainRun run =
        Explainer::run(sampleItems(), false, consent.answering(true), services(&model, gatewayAt(server)));
    EXPECT_EQ(run.source, Source::ai);
    EXPECT_EQ(*consent.asked, 1);
    EXPECT_EQ(run.answers["t1"].source, Source::rules);
    EXPECT_EQ(run.answers["t2"], (Explanation{"TEST Sync Agent", "It syncs your things.", Source::ai}));
    EXPECT_EQ(run.answers["t3"].source, Source::ai);
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_FALSE(server.requests()[0].body.contains("Dropbox"));
}

TEST_F(ExplainerTest, AFailedGatewayFallsBackToNone) {
    LoopbackGateway server;
    server.reply(500, "{}");
    const ExplainRun run =
        Explainer::run(sampleItems(), false, consent.answering(true), services(&model, gatewayAt(server)));
    EXPECT_EQ(run.source, Source::none);
    EXPECT_EQ(run.answers.keys(), QStringList{"t1"});
}

TEST_F(ExplainerTest, TheAvailableOnDeviceModelIsUsedInsteadOfTheGateway) {
    LoopbackGateway server;
    server.reply(200, R"({"answers":[{"ref":0,"what":"remote"}]})");
    model.sentences = {{1, "local"}};
    const ExplainRun run =
        Explainer::run(sampleItems(), true, consent.answering(true), services(&model, gatewayAt(server)));
    EXPECT_EQ(run.source, Source::onDevice);
    EXPECT_EQ(*consent.asked, 0);
    EXPECT_TRUE(server.requests().isEmpty());
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

TEST_F(ExplainerTest, ExplainDeliversEachRunsOwnAnswersOnTheContext) {
    ManualDispatch dispatch;
    QObject context;
    QList<ExplainRun> delivered;
    model.sentences = {{1, "first"}};
    Explainer::explain(
        {unknown(1)}, true, {}, &context, [&](ExplainRun r) { delivered.append(r); }, services(&model),
        dispatch);
    Explainer::explain(
        {unknown(2)}, false, {}, &context, [&](ExplainRun r) { delivered.append(r); }, services(&model),
        dispatch);
    ASSERT_EQ(dispatch.jobs.size(), 2);
    EXPECT_EQ(model.calls, 0);  // nothing runs on the caller's thread
    dispatch.finish(1);
    dispatch.finish(0);
    ASSERT_EQ(delivered.size(), 2);
    EXPECT_EQ(delivered[0].source, Source::none);
    EXPECT_TRUE(delivered[0].answers.isEmpty());
    EXPECT_EQ(delivered[1].source, Source::onDevice);
    EXPECT_EQ(delivered[1].answers["k1"].what, "first");
}

TEST_F(ExplainerTest, TheThreadedDispatchAsksAwayAndAnswersOnTheCallersThread) {
    QObject context;
    std::atomic<QThread*> askedOn{nullptr};
    QThread* answeredOn = nullptr;
    std::optional<ExplainRun> result;
    QEventLoop loop;
    Explainer::explain(
        sampleItems(), false,
        [&] {
            askedOn = QThread::currentThread();
            return false;
        },
        &context,
        [&](ExplainRun r) {
            answeredOn = QThread::currentThread();
            result = r;
            loop.quit();
        },
        [&] {
            auto s = services(&model);
            s.gateway.baseAddress = "https://gateway.invalid/";
            s.gateway.clientKey = "k";
            return s;
        }(),
        ExplainDispatch::threaded());
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(result);
    EXPECT_EQ(answeredOn, QThread::currentThread());
    EXPECT_NE(askedOn.load(), nullptr);
    EXPECT_NE(askedOn.load(), QThread::currentThread());
    EXPECT_EQ(result->source, Source::none);
    EXPECT_EQ(result->answers.keys(), QStringList{"t1"});
}

TEST_F(ExplainerTest, TheThreadedDispatchDropsTheAnswerWhenTheContextIsGone) {
    auto context = std::make_unique<QObject>();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> worked{false};
    bool delivered = false;
    struct BlockingModel : FakeOnDeviceModel {
        std::shared_future<void> gate;
        std::atomic<bool>* worked = nullptr;
        Result<QString, QString> respond(const QString& i, const QString& p) override {
            gate.wait();
            *worked = true;
            return FakeOnDeviceModel::respond(i, p);
        }
    } blocking;
    blocking.gate = released;
    blocking.worked = &worked;
    blocking.sentences = {{1, "late"}};
    Explainer::explain(
        {unknown(1)}, true, {}, context.get(), [&](ExplainRun) { delivered = true; }, services(&blocking),
        ExplainDispatch::threaded());
    context.reset();
    release.set_value();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (worked)
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(worked);
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    EXPECT_FALSE(delivered);
}

TEST(ExplanationSource, RawTextsInCaseOrder) {
    EXPECT_EQ(Explanation::rawValue(Source::rules), "rules");
    EXPECT_EQ(Explanation::rawValue(Source::onDevice), "on this Mac");
    EXPECT_EQ(Explanation::rawValue(Source::ai), "AI");
    EXPECT_EQ(Explanation::rawValue(Source::none), "none");
    EXPECT_EQ(Explanation::fromRawValue("AI"), Source::ai);
    EXPECT_EQ(Explanation::fromRawValue("ai"), std::nullopt);
    EXPECT_LT(int(Source::rules), int(Source::onDevice));
    EXPECT_LT(int(Source::ai), int(Source::none));
}
