#include "permissions/screens/art/FlowClock.h"

#include <cmath>
#include <numbers>

namespace rk {

namespace {
// Seconds from 1 January 1970 to 1 January 2001, both 00:00 UTC.
constexpr double kSeconds1970To2001 = 978'307'200.0;
constexpr double kDashSpeed = 13.0;  // points a second
constexpr double kDashWrap = 1000.0;
}  // namespace

double KTFlowClock::frameTime(double timelineSeconds, bool reduceMotion) {
    if (pinned_)
        return *pinned_;
    return reduceMotion ? 0.0 : timelineSeconds;
}

double KTFlowClock::timelineSeconds(Clock::Time moment) {
    return Clock::secondsSince1970(moment) - kSeconds1970To2001;
}

double KTFlowClock::dashPhase(double t) {
    return -std::fmod(kDashSpeed * t, kDashWrap);
}

double KTFlowClock::wave(double t, double lag) {
    return (1.0 + std::sin(2.0 * std::numbers::pi * (t / kPulsePeriod - lag))) / 2.0;
}

double KTFlowClock::pulse(double t, double lag) {
    return 0.55 + 0.45 * wave(t, lag);
}

}  // namespace rk
