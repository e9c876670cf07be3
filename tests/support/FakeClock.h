#pragma once
// A clock that stands still until the test moves it. Readable from any
// thread (the usage counters read it on their own worker).

#include <atomic>
#include <chrono>
#include <cmath>

#include "platform/Clock.h"

namespace rk::test {

class FakeClock final : public Clock {
public:
    explicit FakeClock(double secondsSince1970 = 1'700'000'000.0) { set(secondsSince1970); }

    Time now() const override { return Time(std::chrono::nanoseconds(nanos_.load())); }

    void set(double secondsSince1970) { nanos_.store(nanos(secondsSince1970)); }
    void advance(double seconds) { nanos_.fetch_add(nanos(seconds)); }

private:
    // Whole seconds and the fraction apart, so that 1700000000.25 stays
    // exactly that (a double cannot hold the whole count of nanoseconds).
    static long long nanos(double seconds) {
        const double whole = std::floor(seconds);
        return static_cast<long long>(whole) * 1'000'000'000LL + std::llround((seconds - whole) * 1e9);
    }

    std::atomic<long long> nanos_{0};
};

}  // namespace rk::test
