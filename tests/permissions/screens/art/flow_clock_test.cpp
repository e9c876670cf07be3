#include <gtest/gtest.h>

#include <cmath>

#include "permissions/screens/art/FlowClock.h"
#include "support/FakeClock.h"

namespace rk {
namespace {

// A pinned time beats reduced motion, which beats the timeline: seconds since 2001.
TEST(FlowClock, PinnedTimeBeatsReducedMotionWhichBeatsTheTimeline) {
    const std::tuple<std::optional<double>, bool, double> cases[] = {
        {std::nullopt, false, 812.25}, {std::nullopt, true, 0}, {12.5, false, 12.5}, {12.5, true, 12.5}};
    for (const auto& [pinned, reduceMotion, expected] : cases) {
        KTFlowClockPin pin(pinned);
        EXPECT_EQ(KTFlowClock::frameTime(812.25, reduceMotion), expected)
            << pinned.value_or(-1) << reduceMotion;
    }
    EXPECT_FALSE(KTFlowClock::pinned()) << "the pin ends with its scope";
    EXPECT_DOUBLE_EQ(KTFlowClock::timelineSeconds(test::FakeClock(978'307'200.0 + 90.5).now()), 90.5);
}

// Dashes march 13 points a second and wrap at a thousand; the pulse
// breathes between a half and one every five and a half seconds.
TEST(FlowClock, DashesMarchAndThePulseBreathes) {
    EXPECT_DOUBLE_EQ(KTFlowClock::dashPhase(1), -13);
    // Seconds since 2001 are large; the phase stays within one wrap, on the
    // same 10-point pattern as the unwrapped value.
    const double now = 812'345'678.9;
    const double phase = KTFlowClock::dashPhase(now);
    EXPECT_TRUE(phase > -1000 && phase <= 0) << phase;
    EXPECT_NEAR(std::fmod(-phase, 10), std::fmod(13 * now, 10), 1e-3);

    EXPECT_NEAR(KTFlowClock::pulse(1.375), 1.0, 1e-12);
    EXPECT_NEAR(KTFlowClock::pulse(4.125), 0.55, 1e-12);
    EXPECT_NEAR(KTFlowClock::pulse(2.0), KTFlowClock::pulse(2.0 + 5.5), 1e-12);
    EXPECT_NEAR(KTFlowClock::pulse(0, 0.18), KTFlowClock::pulse(-0.18 * 5.5), 1e-12) << "a lag in cycles";
}

}  // namespace
}  // namespace rk
