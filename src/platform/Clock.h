#pragma once
// Wall time, behind a seam so that tests can set the hour. Everything that
// stamps or compares times (usage counters, the model's store and photo
// throttles) asks a Clock instead of the system directly.
//
// A moment that has not happened yet ("never read", "no photo taken") is an
// empty std::optional<Clock::Time>, not the earliest representable time:
// subtracting that from now overflows a signed duration.

#include <chrono>
#include <optional>

namespace rk {

class Clock {
public:
    using Time = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;
    // Safe to call from any thread.
    virtual Time now() const = 0;

    // Seconds since 1970 with fractions, as the usage file stores them.
    static double secondsSince1970(Time t);

    // The process-wide clock; nullptr restores the host clock.
    static Clock& current();
    static void setCurrent(Clock* clock);
};

// The host's wall clock.
class HostClock final : public Clock {
public:
    Time now() const override { return std::chrono::system_clock::now(); }
};

// True when `then` is never, lies more than `seconds` before `now`, or lies
// after `now`. A stamp from the future means the wall clock was set back (a
// time correction): waiting for the clock to catch up could take hours, so
// such a stamp counts as stale and the next stamp is taken from the new time.
bool isOlderThan(const std::optional<Clock::Time>& then, double seconds, Clock::Time now);

}  // namespace rk
