// The real time and threads of the model: the Qt timer, the serial
// "larkspur.ax" worker thread and the thread pool, each handing results back
// to the main thread, and dropping them once their receiver is gone.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/model/ModelSeams.h"
#include "support/QtApp.h"

#ifdef __linux__
#endif

using namespace rk;

namespace {

[[maybe_unused]] const auto* const kCore = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::core, "app_model_seams_test"));

// Runs the event loop until `done` or a generous limit (the limit only stops
// a broken test from hanging; nothing here measures time).
bool runUntil(const std::function<bool()>& done, int ms = 10'000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

QString systemThreadName() {
#ifdef __linux__
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return QString::fromLatin1(name);
#else
    return QThread::currentThread()->objectName();
#endif
}

TEST(SerialThreadQueue, RunsJobsInOrderOnItsNamedThreadAndHandsBackOnTheMainThread) {
    SerialThreadQueue queue(QStringLiteral("larkspur.ax"), QThread::HighPriority);
    QObject context;
    std::mutex mutex;
    QStringList worked, threadNames;
    QList<bool> deliveredOnMain;
    for (int i = 0; i < 5; ++i) {
        queue.async(
            [&, i] {
                QThread::msleep(static_cast<unsigned long>(5 - i));  // later jobs are quicker
                std::lock_guard lock(mutex);
                worked << QString::number(i);
                threadNames << systemThreadName();
            },
            &context, [&] { deliveredOnMain << (QThread::currentThread() == qApp->thread()); });
    }
    ASSERT_TRUE(runUntil([&] { return deliveredOnMain.size() == 5; }));
    EXPECT_EQ(worked, (QStringList{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(threadNames, QStringList(5, "larkspur.ax"));
    EXPECT_EQ(deliveredOnMain, QList<bool>(5, true));
}

TEST(SerialThreadQueue, DropsTheHandBackWhenTheReceiverIsGone) {
    SerialThreadQueue queue(QStringLiteral("larkspur.ax"));
    std::atomic<bool> worked{false};
    bool delivered = false;
    auto context = std::make_unique<QObject>();
    std::atomic<bool> release{false};
    queue.async(
        [&] {
            while (!release)
                QThread::msleep(1);
            worked = true;
        },
        context.get(), [&] { delivered = true; });
    context.reset();  // gone while the work runs
    release = true;
    ASSERT_TRUE(runUntil([&] { return worked.load(); }));
    // A later job's hand-back comes after the dropped one's would have.
    QObject later;
    bool laterDelivered = false;
    queue.async([] {}, &later, [&] { laterDelivered = true; });
    ASSERT_TRUE(runUntil([&] { return laterDelivered; }));
    EXPECT_FALSE(delivered);
}

// The pool works off the main thread and hands back on it; the timer beats
// until its ticker is destroyed.
TEST(PoolQueueAndTimer, HandBackOnTheMainThreadAndBeatUntilDestroyed) {
    PoolQueue queue;
    QObject context;
    Qt::HANDLE workThread = nullptr;
    bool onMain = false;
    queue.async([&] { workThread = QThread::currentThreadId(); }, &context,
                [&] { onMain = QThread::currentThread() == qApp->thread(); });
    ASSERT_TRUE(runUntil([&] { return onMain; }));
    EXPECT_NE(workThread, QThread::currentThreadId());

    QtTickSource source;
    int beats = 0;
    auto ticker = source.every(0.01, [&] { ++beats; });
    ASSERT_TRUE(runUntil([&] { return beats >= 2; }));
    ticker.reset();
    const int stopped = beats;
    EXPECT_FALSE(runUntil([&] { return beats != stopped; }, 60));
}

}  // namespace
