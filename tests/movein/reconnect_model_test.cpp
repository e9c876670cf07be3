// The reconnect model: checks off the main thread, results on it, the
// two-second refresh, and the buttons.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <deque>

#include "movein/ReconnectModel.h"
#include "support/QtApp.h"

namespace rk {
namespace {

// Runs until `done` or a generous limit; the limit only stops a broken
// model from hanging the test.
bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Holds jobs until the test lets them run, on the calling thread.
struct HeldJobs {
    std::deque<std::function<void()>> jobs;
    KTReconnectModel::Executor executor() {
        return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
    }
    void runAll() {
        while (!jobs.empty()) {
            auto job = std::move(jobs.front());
            jobs.pop_front();
            job();
        }
    }
};

KTReconnectItem item(QString id, std::function<KTReconnectResult()> check) {
    KTReconnectItem row;
    row.id = id;
    row.title = id;
    row.check = std::move(check);
    return row;
}

KTReconnectResult connected() {
    return {KTReconnectStatus::connected("ok"), "Done"};
}
KTReconnectResult open() {
    return {KTReconnectStatus::needsAction(QString("do it")), "Open"};
}

class ReconnectModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApp(test::AppKind::core, "reconnect_model_test"); }
    HeldJobs held;
};

TEST_F(ReconnectModelTest, RowsCheckOnTheWorkerAndResultsLandOnTheMainThread) {
    const QThread* mainThread = QThread::currentThread();
    std::atomic<const QThread*> checkedOn{nullptr};
    KTReconnectModel model({item("a", [&] {
        checkedOn = QThread::currentThread();
        return connected();
    })});
    const QThread* deliveredOn = nullptr;
    QObject::connect(&model, &KTReconnectModel::changed, [&] { deliveredOn = QThread::currentThread(); });
    EXPECT_EQ(model.results().at(0).status, KTReconnectStatus::checking());
    model.refresh();
    ASSERT_TRUE(spinUntil([&] { return model.rounds() == 1; }));
    EXPECT_TRUE(checkedOn.load() && checkedOn.load() != mainThread);
    EXPECT_EQ(deliveredOn, mainThread);
    EXPECT_EQ(model.results().at(0), connected());
    EXPECT_EQ(model.connectedCount(), 1);
}

// Main-thread rows are checked at once; the others' results arrive only
// through the event loop, a round under way is not doubled but followed by
// one more, and the same results again say nothing. (The page's test presses
// the buttons.)
TEST_F(ReconnectModelTest, OneRoundAtATimeItsResultsThroughTheEventLoop) {
    int checks = 0;
    KTReconnectItem probe = item("perm", connected);
    probe.checkOnMainThread = true;
    const auto counted = [&] { return ++checks, open(); };
    KTReconnectModel model({probe, item("a", connected), item("b", counted)}, nullptr, held.executor());
    int changed = 0;
    QObject::connect(&model, &KTReconnectModel::changed, [&] { ++changed; });
    model.refresh();
    model.refresh();
    EXPECT_EQ(model.results().at(0), connected());
    EXPECT_EQ(changed, 1);
    ASSERT_EQ(held.jobs.size(), 1u);
    EXPECT_TRUE(model.refreshing());
    held.runAll();
    EXPECT_EQ(model.results().at(1).status, KTReconnectStatus::checking())
        << "not before the main thread takes it";
    QCoreApplication::processEvents();
    EXPECT_EQ(model.results().at(1), connected());
    EXPECT_EQ(model.results().at(2), open());
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(held.jobs.size(), 1u) << "one more round for the refresh asked for meanwhile";
    held.runAll();
    QCoreApplication::processEvents();
    EXPECT_TRUE(held.jobs.empty());
    EXPECT_FALSE(model.refreshing());
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(model.rounds(), 2);
    model.perform(5);  // no such row: nothing happens
    model.perform(-1);
    EXPECT_TRUE(held.jobs.empty());
}

TEST_F(ReconnectModelTest, ADestroyedModelDropsTheResultsOfItsLastRound) {
    auto* model = new KTReconnectModel({item("a", connected)}, nullptr, held.executor());
    model->refresh();
    delete model;
    held.runAll();  // must not touch the model
    QCoreApplication::processEvents();
}

TEST_F(ReconnectModelTest, StartingRunsARoundAtOnceThenOneEveryInterval) {
    KTReconnectModel model({item("a", open)}, nullptr, held.executor());
    EXPECT_EQ(model.interval(), std::chrono::milliseconds(2000));
    model.start();
    EXPECT_TRUE(model.isRunning());
    EXPECT_EQ(held.jobs.size(), 1u) << "the first round starts at once";
    model.stop();
    EXPECT_FALSE(model.isRunning());

    KTReconnectModel quick({item("a", open)}, nullptr, held.executor(), std::chrono::milliseconds(5));
    quick.start();
    ASSERT_TRUE(spinUntil([&] {
        held.runAll();
        return quick.rounds() >= 3;
    }));
}

}  // namespace
}  // namespace rk
