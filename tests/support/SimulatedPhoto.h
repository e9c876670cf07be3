#pragma once
// A stand-in for the screen-capture service that photographs a simulated
// System Settings window: its rows, titles and icons are painted where the
// window's layout has them, so the icon test and the mark painter see what
// they would see on a Mac. Rows of programs that are gone carry the very same
// generic document art the icon test compares against; live rows carry a
// colourful icon. Switches make the window listing or the capture fail.
//
// The window comes either from a running `SimulatedSettings` (its layout,
// frame and number, read at the moment of the photo) or from a layout a test
// builds itself with `listLayout`.

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "finder/Decision.h"
#include "platform/Geometry.h"
#include "platform/ScreenCapture.h"
#include "support/SimulatedSettings.h"

namespace rk::test {

// A window the service lists, drawn from its layout.
struct SimulatedWindow {
    quint32 number = 0;
    double scale = 2;  // pixels per point of its display
    bool dark = false;
    SimulatedLayout layout;  // layout.window is its frame in screen points
};

class SimulatedPhoto final : public ScreenCapture {
public:
    std::vector<SimulatedWindow> windows;
    bool permitted = true;
    std::optional<QString> listingError;  // set: the window listing fails with it
    std::optional<QString> captureError;  // set: every capture fails with it

    // Photographs this System Settings too, listed before `windows`.
    void attach(SimulatedSettings& settings, double scale = 2, bool dark = false);

    // What was asked of the capture, for tests to check.
    int captureRequests = 0;
    QSize lastRequestedSize;

    bool preflight() override { return permitted; }
    Result<std::vector<ShareableWindow>, QString> shareableWindows() override;
    Result<QImage, QString> captureWindow(const ShareableWindow& window, QSize pixels) override;

    // The window of the layout painted at the given pixel size; null when
    // the size or the window is empty.
    static QImage render(const SimulatedLayout& layout, QSize pixels, bool dark);

    // A page with one list of rows of one section, laid out as System
    // Settings lays them, starting at `top` (screen points).
    static SimulatedLayout listLayout(const Rect& window, PaneSection section, double top,
                                      const std::vector<std::pair<QString, SimulatedIcon>>& titles);
    // The rows of a layout as the reader would give them (indices counted
    // per list, background items separately).
    static std::vector<PaneRow> paneRows(const SimulatedLayout& layout);

private:
    std::vector<SimulatedWindow> allWindows() const;

    SimulatedSettings* settings_ = nullptr;
    double settingsScale_ = 2;
    bool settingsDark_ = false;
};

// Installs a capture service as ScreenCapture::current() for one scope.
class ScopedCapture {
public:
    explicit ScopedCapture(ScreenCapture& capture) { ScreenCapture::setCurrent(&capture); }
    ~ScopedCapture() { ScreenCapture::setCurrent(nullptr); }
    ScopedCapture(const ScopedCapture&) = delete;
    ScopedCapture& operator=(const ScopedCapture&) = delete;
};

}  // namespace rk::test
