#pragma once
// Whether the person asked the desktop to reduce motion. Animated views
// (spinners, the capability diagrams) read it once when they are built and
// then stand still at their first frame while it is on. Main thread.
//
// A Mac keeps this among its accessibility settings. Here it comes from the
// environment variable "ROWKEEPER_REDUCE_MOTION" ("1", "true", "yes" or "on"
// turns it on; "0", "false", "no" or "off" turns it off whatever the user
// default says; anything else is ignored), else from the user default
// "reduceMotion" (a Boolean in QSettings()), else off. Tests install their
// own answer with `setCurrent`.

#include <QString>
#include <optional>

namespace rk {

class MotionPreference {
public:
    virtual ~MotionPreference() = default;

    virtual bool reduceMotion() const = 0;

    // The process-wide implementation that defaults use; nullptr restores the host's.
    static MotionPreference& current();
    static void setCurrent(MotionPreference* preference);
};

// The environment variable, else the user default, else off.
class HostMotionPreference final : public MotionPreference {
public:
    bool reduceMotion() const override;

    // What a value of the environment variable says: on, off, or nothing
    // when it is empty or not one of the words above (case is ignored).
    static std::optional<bool> parseSwitch(const QString& value);
};

}  // namespace rk
