#include "platform/Clock.h"

#include "platform/Seam.h"

namespace rk {

double Clock::secondsSince1970(Time t) {
    // Whole seconds and the fraction apart: converting the whole nanosecond
    // count to a double at once loses the fraction's last digits.
    const auto since = t.time_since_epoch();
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(since);
    return double(whole.count()) + std::chrono::duration<double>(since - whole).count();
}

Clock& Clock::current() {
    return Seam<Clock>::current<HostClock>();
}

void Clock::setCurrent(Clock* clock) {
    Seam<Clock>::setCurrent(clock);
}

bool isOlderThan(const std::optional<Clock::Time>& then, double seconds, Clock::Time now) {
    if (!then)
        return true;
    // Compare in floating seconds: two far-apart time points (a stored stamp
    // from a broken file, a clock set to the year 1) must not overflow the
    // clock's integer duration when subtracted.
    const double age = Clock::secondsSince1970(now) - Clock::secondsSince1970(*then);
    return age > seconds || age < 0;
}

}  // namespace rk
