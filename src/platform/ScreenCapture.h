#pragma once
// The window server's screen-capture service, as the window photo needs it:
// whether capture is allowed, the windows that can be photographed, and one
// still image of one window. The Linux host has no such service and says so;
// tests put a simulation in its place.

#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <vector>

#include "platform/Geometry.h"
#include "platform/Result.h"

namespace rk {

// One window that may be photographed.
struct ShareableWindow {
    quint32 windowID = 0;  // the window server's number of the window
    Rect frame;            // global points, top-left origin, y down
    double scale = 1;      // pixels per point of the display the window is on

    friend bool operator==(const ShareableWindow&, const ShareableWindow&) = default;
};

class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;

    // Whether capture is allowed now. Never asks the person.
    virtual bool preflight() = 0;

    // On-screen windows only, desktop windows included, in the service's
    // order; the error text when the list cannot be had (capture not
    // permitted, or the service failed).
    virtual Result<std::vector<ShareableWindow>, QString> shareableWindows() = 0;

    // One still image of the window alone, `pixels` in size, without the
    // pointer and without the window's shadow; the error text on failure.
    virtual Result<QImage, QString> captureWindow(const ShareableWindow& window, QSize pixels) = 0;

    // The process-wide service; setCurrent(nullptr) restores the host's.
    static ScreenCapture& current();
    static void setCurrent(ScreenCapture* capture);
};

// Linux: there is no window server to photograph, so capture is never
// permitted and every request fails.
class HostScreenCapture final : public ScreenCapture {
public:
    bool preflight() override { return false; }
    Result<std::vector<ShareableWindow>, QString> shareableWindows() override;
    Result<QImage, QString> captureWindow(const ShareableWindow& window, QSize pixels) override;
};

}  // namespace rk
