// The real time and threads of the model: the Qt timer, the serial
// "larkspur.ax" worker thread and the thread pool, each handing results back
// to the main thread, and dropping them once their receiver is gone; and the
// Mac's model name read through the tool runner from the system profiler.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "app/model/MacIdentity.h"
#include "app/model/ModelSeams.h"
#include "support/QtApp.h"
#include "support/TempRoot.h"

using namespace rk;
using namespace std::chrono_literals;

namespace {

[[maybe_unused]] const auto* const kCore = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::core, "app_model_seams_test"));

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
    ASSERT_TRUE(test::spinUntil([&] { return deliveredOnMain.size() == 5; }));
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
    ASSERT_TRUE(test::spinUntil([&] { return worked.load(); }));
    // A later job's hand-back comes after the dropped one's would have.
    QObject later;
    bool laterDelivered = false;
    queue.async([] {}, &later, [&] { laterDelivered = true; });
    ASSERT_TRUE(test::spinUntil([&] { return laterDelivered; }));
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
    ASSERT_TRUE(test::spinUntil([&] { return onMain; }));
    EXPECT_NE(workThread, QThread::currentThreadId());

    QtTickSource source;
    int beats = 0;
    auto ticker = source.every(0.01, [&] { ++beats; });
    ASSERT_TRUE(test::spinUntil([&] { return beats >= 2; }));
    ticker.reset();
    const int stopped = beats;
    EXPECT_FALSE(test::spinUntil([&] { return beats != stopped; }, 60));
}

const QString dot = QString::fromUtf8("\u00B7");

// ---- The Mac's model name ----------------------------------------------------------

class ScriptedMachine final : public Machine {
public:
    ToolRun answer;
    QString program;
    QStringList arguments;
    std::chrono::milliseconds limit{0};

    ToolRun run(const QString& p, const QStringList& a, std::chrono::milliseconds l) override {
        program = p;
        arguments = a;
        limit = l;
        return answer;
    }
};

TEST(MacIdentity, ReadsTheProfilersHardwareRecord) {
    const struct {
        const char* name;
        const char* json;
        QString want;
    } cases[] = {
        {"all three",
         R"({"SPHardwareDataType":[{"machine_name":"MacBook Air","chip_type":"Apple M2","machine_model":"Mac14,2"}]})",
         "MacBook Air (Apple M2) " + dot + " Mac14,2"},
        {"no chip", R"({"SPHardwareDataType":[{"machine_name":"iMac","machine_model":"iMac21,1"}]})",
         "iMac " + dot + " iMac21,1"},
        {"no model", R"({"SPHardwareDataType":[{"machine_name":"Mac mini","chip_type":"Apple M1"}]})",
         "Mac mini (Apple M1)"},
        {"no name", R"({"SPHardwareDataType":[{"chip_type":"Apple M3","machine_model":"Mac15,3"}]})",
         "Mac (Apple M3) " + dot + " Mac15,3"},
        {"name not text", R"({"SPHardwareDataType":[{"machine_name":7}]})", "Mac"},
        {"first record wins", R"({"SPHardwareDataType":[{"machine_name":"A"},{"machine_name":"B"}]})", "A"},
        {"empty list", R"({"SPHardwareDataType":[]})", ""},
        {"list with a non-object", R"({"SPHardwareDataType":[{"machine_name":"A"},3]})", ""},
        {"neither chip nor model", R"({"SPHardwareDataType":[{"machine_name":"Mac Studio"}]})", "Mac Studio"},
        {"not an object", R"([{"machine_name":"A"}])", ""},
        {"no hardware key", R"({"SPSoftwareDataType":[{"machine_name":"A"}]})", ""},
        {"not JSON", "system_profiler: command not found", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MacIdentity::fromProfile(c.json), c.want) << c.name;
}

// Asked for hardware as JSON within a limit; one that hangs or is missing
// (Linux has none at the Mac's path) gives nothing.
TEST(MacIdentity, AsksTheProfilerForHardwareAsJsonWithinALimit) {
    ScriptedMachine machine;
    machine.answer.outcome = ToolRun::Outcome::finished;
    machine.answer.exitCode = 0;
    machine.answer.out = R"({"SPHardwareDataType":[{"machine_name":"MacBook Pro"}]})";
    const auto paths = SystemPaths::rerooted("/tmp/elsewhere", "/Users/anna");
    EXPECT_EQ(MacIdentity::model(machine, paths), "MacBook Pro");
    EXPECT_EQ(machine.program, "/tmp/elsewhere/usr/sbin/system_profiler");
    EXPECT_EQ(machine.arguments, (QStringList{"SPHardwareDataType", "-json"}));
    EXPECT_TRUE(machine.limit > 0ms && machine.limit <= 10s);
    machine.answer.outcome = ToolRun::Outcome::timedOut;
    EXPECT_EQ(MacIdentity::model(machine), "");
    machine.answer = ToolRun{};  // not started
    EXPECT_EQ(MacIdentity::model(machine), "");
    QTemporaryDir root;
    EXPECT_EQ(MacIdentity::model(Machine::current(), SystemPaths::rerooted(root.path(), "/Users/anna")), "");
}

// A real child process at the profiler's place, which writes far more to
// standard error than a pipe holds before it answers.
TEST(MacIdentity, AChattyProfilerIsReadToTheEnd) {
    QTemporaryDir root;
    const auto paths = SystemPaths::rerooted(root.path(), "/Users/anna");
    const QString tool = paths.tool(MacTool::systemProfiler);
    ASSERT_TRUE(test::writeFileAt(
        tool,
        "#!/bin/sh\n"
        "head -c 500000 /dev/zero | tr '\\0' w >&2\n"
        "printf '%s' '{\"SPHardwareDataType\":[{\"machine_name\":\"Mac mini\",\"chip_type\":\"Apple "
        "M4\"}]}'\n",
        true));
    HostMachine machine;
    EXPECT_EQ(MacIdentity::model(machine, paths), "Mac mini (Apple M4)");
}

}  // namespace
