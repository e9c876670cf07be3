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
// builds itself.

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

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

    int captureRequests = 0;  // images asked of the capture

    bool preflight() override { return permitted; }
    Result<std::vector<ShareableWindow>, QString> shareableWindows() override;
    Result<QImage, QString> captureWindow(const ShareableWindow& window, QSize pixels) override;

private:
    std::vector<SimulatedWindow> allWindows() const;

    SimulatedSettings* settings_ = nullptr;
    double settingsScale_ = 2;
    bool settingsDark_ = false;
};

// Whether a pixel of a photo shows the red, or the green, of a mark.
inline bool isMarkRed(QRgb p) {
    return qRed(p) > 200 && qGreen(p) < 110 && qBlue(p) < 110;
}
inline bool isMarkGreen(QRgb p) {
    return qGreen(p) > 130 && qRed(p) < 70 && qBlue(p) < 100;
}

}  // namespace rk::test
