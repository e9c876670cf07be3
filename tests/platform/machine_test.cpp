#include "platform/Machine.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <csignal>

using namespace rk;
using namespace std::chrono_literals;

TEST(Machine, CollectsBothChannelsAndTheExitStatus) {
    HostMachine machine;
    const ToolRun run = machine.run("/bin/sh", {"-c", "printf out; printf err >&2; exit 3"}, 10s);
    EXPECT_EQ(run.outcome, ToolRun::Outcome::finished);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "out");
    EXPECT_EQ(run.err, "err");
}

// A tool that fills the error pipe before it writes its answer only ends
// when someone reads that pipe while it runs.
TEST(Machine, AToolThatFloodsStandardErrorStillFinishes) {
    HostMachine machine;
    const ToolRun run =
        machine.run("/bin/sh", {"-c", "head -c 1000000 /dev/zero | tr '\\0' x >&2; printf done"}, 20s);
    ASSERT_EQ(run.outcome, ToolRun::Outcome::finished);
    EXPECT_EQ(run.out, "done");
    EXPECT_EQ(run.err.size(), 1000000);
}

TEST(Machine, AToolThatHangsIsKilledAtTheLimit) {
    HostMachine machine;
    QElapsedTimer elapsed;
    elapsed.start();
    const ToolRun run = machine.run("/bin/sh", {"-c", "printf partial; exec sleep 30"}, 300ms);
    EXPECT_EQ(run.outcome, ToolRun::Outcome::timedOut);
    EXPECT_FALSE(run.finished());
    EXPECT_LT(elapsed.elapsed(), 10'000);  // nowhere near the 30 seconds
}

TEST(Machine, AMissingToolDoesNotStart) {
    HostMachine machine;
    const ToolRun run = machine.run("/nonexistent/tool", {}, 2s);
    EXPECT_EQ(run.outcome, ToolRun::Outcome::notStarted);
    EXPECT_TRUE(run.out.isEmpty());
}

// One pipe keeps the order the tool wrote in, and a flood does not stall it.
TEST(Machine, MergedRunKeepsBothChannelsInOrder) {
    const ToolResult run = HostMachine().runMerged(
        "/bin/sh",
        {"-c", "printf a; printf b >&2; printf c; head -c 1000000 /dev/zero | tr '\\0' x >&2; exit 3"}, 20s);
    EXPECT_EQ(run.status, 3);
    EXPECT_FALSE(run.ok());
    EXPECT_EQ(run.out.left(4), "abcx");
    EXPECT_EQ(run.out.size(), 1000003);
}

// At the limit the tool is asked to stop; one that ignores that is killed,
// and a descendant still holding the pipe is not waited for.
TEST(Machine, MergedRunStopsAToolAtTheLimit) {
    const std::pair<const char*, int> cases[] = {{"printf partial; exec sleep 30", SIGTERM},
                                                 {"trap '' TERM; printf partial; exec sleep 30", SIGKILL},
                                                 {"sleep 20 & printf partial; exec sleep 30", SIGTERM}};
    for (const auto& [script, status] : cases) {
        QElapsedTimer elapsed;
        elapsed.start();
        const ToolResult run = HostMachine().runMerged("/bin/sh", {"-c", script}, 1s);
        EXPECT_EQ(run, (ToolResult{.status = status, .out = "partial", .timedOut = true})) << script;
        EXPECT_LT(elapsed.elapsed(), 10'000) << script;
    }
}

TEST(Machine, MergedRunThatCannotStartOrIsNotUtf8) {
    const ToolResult missing = HostMachine().runMerged("/nonexistent/tool", {}, 2s);
    EXPECT_EQ(missing.status, -1);
    EXPECT_FALSE(missing.out.isEmpty());
    const ToolResult latin1 = HostMachine().runMerged("/bin/sh", {"-c", "printf 'caf\\351'"}, 5s);
    EXPECT_EQ(latin1, (ToolResult{.status = 0, .out = ""}));
}
