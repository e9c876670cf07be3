#pragma once
// The window server's list of on-screen windows, desktop elements left out,
// as far as the program needs it: whose window it is, its layer, its bounds
// and its number. Every part may be missing from a description, as it may be
// from the window server's own.

#include <QList>
#include <cstdint>
#include <optional>

namespace rk {

using WindowNumber = std::uint32_t;

struct WindowDescription {
    std::optional<std::int32_t> ownerPid;
    std::optional<int> layer;  // 0 for ordinary application windows
    // Bounds in global points, origin at the top left of the first screen, y down.
    std::optional<double> x;
    std::optional<double> y;
    std::optional<double> width;
    std::optional<double> height;
    std::optional<WindowNumber> number;

    friend bool operator==(const WindowDescription&, const WindowDescription&) = default;
};

class WindowList {
public:
    virtual ~WindowList() = default;

    // The on-screen windows, front to back; none when the window server gives no answer.
    virtual std::optional<QList<WindowDescription>> onScreenWindows() = 0;

    // The process-wide implementation that defaults use; nullptr restores the host's.
    static WindowList& current();
    static void setCurrent(WindowList* list);
};

// This machine has no window server to ask about other applications' windows.
class HostWindowList final : public WindowList {
public:
    std::optional<QList<WindowDescription>> onScreenWindows() override { return QList<WindowDescription>{}; }
};

}  // namespace rk
