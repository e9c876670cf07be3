#pragma once
// Two switches every view of the main window consults: whether spinners and
// animations are frozen (tests and the page capture want the same picture
// every time), and which colour scheme the desktop asks for.

#include <QGuiApplication>
#include <QPalette>

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
    // Qt 6.4 has no colour-scheme query; the desktop's palette says it: a
    // dark window background means a dark scheme. False without a
    // QGuiApplication.
    static bool systemIsDark() {
        if (QGuiApplication::instance() == nullptr) {
            return false;
        }
        return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
    }
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
