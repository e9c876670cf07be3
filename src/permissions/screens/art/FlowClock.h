#pragma once
// The time of the capability diagrams and the phases every diagram derives
// from it. A diagram is a pure function of one time value t in seconds, so a
// frame is fully given by t: `KTFlowClock::pinned()` fixes t for every flow
// canvas in the process (still renderings of screens want the same frame
// each time), and reduced motion fixes it at 0.
//
// The pin is process-wide and set on the main thread only; the phase
// functions are pure and safe anywhere.

#include <optional>

#include "platform/Clock.h"

namespace rk {

struct KTFlowClock {
    // The pinned time, or none when canvases follow the clock. Nothing in
    // this app pins it; products and image renderings may.
    static std::optional<double> pinned() { return pinned_; }
    static void setPinned(std::optional<double> seconds) { pinned_ = seconds; }

    // The t a canvas draws with for a timeline moment: the pinned value when
    // there is one, else 0 with reduced motion, else the moment itself.
    static double frameTime(double timelineSeconds, bool reduceMotion);

    // A wall-clock moment as seconds since 1 January 2001, 00:00 UTC, the
    // epoch the diagrams' timing was drawn for.
    static double timelineSeconds(Clock::Time moment);

    // How often the canvases redraw while they animate.
    static constexpr double kFrameInterval = 1.0 / 30.0;
    // The period of every breathing outline and wave, in seconds.
    static constexpr double kPulsePeriod = 5.5;

    // The dash phase of the marching dashes: -(13 t mod 1000), so dashes
    // travel 13 points a second along their path. 1000 is a whole number of
    // 10-point patterns, so the wrap of the remainder cannot be seen, and the
    // phase stays small although t counts seconds since 2001.
    static double dashPhase(double t);

    // The breathing wave from 0 to 1: (1 + sin(2 pi (t / 5.5 - lag))) / 2,
    // with the lag in cycles.
    static double wave(double t, double lag = 0);

    // The breathing opacity from 0.55 to 1: 0.55 + 0.45 wave(t, lag).
    static double pulse(double t, double lag = 0);

private:
    static inline std::optional<double> pinned_;
};

// Pins the flow clock for one scope and restores what was there before.
class KTFlowClockPin {
public:
    explicit KTFlowClockPin(std::optional<double> seconds) : before_(KTFlowClock::pinned()) {
        KTFlowClock::setPinned(seconds);
    }
    ~KTFlowClockPin() { KTFlowClock::setPinned(before_); }
    KTFlowClockPin(const KTFlowClockPin&) = delete;
    KTFlowClockPin& operator=(const KTFlowClockPin&) = delete;

private:
    std::optional<double> before_;
};

}  // namespace rk
