#include "platform/Machine.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

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
