#include "platform/Clock.h"

#include <gtest/gtest.h>

using namespace rk;
using namespace std::chrono;

namespace {
Clock::Time at(double seconds) {
    return Clock::Time(duration_cast<Clock::Time::duration>(duration<double>(seconds)));
}
}  // namespace

TEST(Clock, NeverAndTheFutureAreOlderThanAnyAgeAndNothingOverflows) {
    const Clock::Time now = at(1'700'000'000);
    struct Case {
        const char* name;
        std::optional<Clock::Time> then;
        bool older;
    } cases[] = {
        {"never", std::nullopt, true},
        {"exactly at the limit", at(1'700'000'000 - 3.0), false},
        {"just past the limit", at(1'700'000'000 - 3.001), true},
        {"just now", now, false},
        // The wall clock was set back after the stamp: waiting for it to
        // catch up would stall whatever the stamp throttles.
        {"in the future (clock set back)", at(1'700'000'100), true},
        {"a hair in the future", at(1'700'000'000.001), true},
        // The earliest representable time: now minus it overflows the
        // clock's signed duration, which the sanitizers would report.
        {"earliest representable time", Clock::Time::min(), true},
        {"latest representable time", Clock::Time::max(), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isOlderThan(c.then, 3.0, now), c.older) << c.name;
}
