#pragma once
// Two switches every view of the main window consults: whether spinners and
// animations are frozen (tests and the page capture want the same picture
// every time), and which colour scheme the desktop asks for.

#include "platform/Appearance.h"

namespace rk {

struct Rendering {
    // True: spinners stand still, the switch's knob jumps to its end at once
    // and the banner does not animate. Main thread only.
    static bool isStatic() { return staticRendering_; }
    static void setStatic(bool on) { staticRendering_ = on; }

private:
    static inline bool staticRendering_ = false;
};

struct Scheme {
    // Whether the desktop asks for the dark scheme (see `Appearance`).
    static bool systemIsDark() { return Appearance::systemIsDark(); }
};

// Sets `Rendering::isStatic()` for one scope and restores it afterwards.
class StaticRenderingScope {
public:
    explicit StaticRenderingScope(bool on = true) : before_(Rendering::isStatic()) {
        Rendering::setStatic(on);
    }
    ~StaticRenderingScope() { Rendering::setStatic(before_); }
    StaticRenderingScope(const StaticRenderingScope&) = delete;
    StaticRenderingScope& operator=(const StaticRenderingScope&) = delete;

private:
    bool before_;
};

}  // namespace rk
