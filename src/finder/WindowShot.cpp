#include "finder/WindowShot.h"

#include <cmath>
#include <limits>

namespace rk {

namespace {

std::optional<int> truncatedPixels(double points, double scale) {
    const double pixels = std::trunc(points * scale);
    // The range test must come before the conversion: converting a value
    // outside int's range (or NaN) to int is undefined.
    if (!(pixels >= 0 && pixels <= std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    return static_cast<int>(pixels);
}

}  // namespace

std::optional<QSize> WindowShot::pixelSize(const Rect& frame, double scale) {
    const auto width = truncatedPixels(frame.width, scale);
    const auto height = truncatedPixels(frame.height, scale);
    if (!width || !height) {
        return std::nullopt;
    }
    return QSize(*width, *height);
}

Result<QImage, WindowShot::Failure> WindowShot::capture(qint64 windowNumber, ScreenCapture& capture) {
    const auto windows = capture.shareableWindows();
    if (!windows) {
        return fail(Failure::noPermission());
    }
    const ShareableWindow* target = nullptr;
    for (const auto& window : windows.value()) {
        if (static_cast<qint64>(window.windowID) == windowNumber) {
            target = &window;
            break;
        }
    }
    if (!target) {
        return fail(Failure::windowNotFound());
    }
    const auto size = pixelSize(target->frame, target->scale);
    if (!size) {
        return fail(Failure::failed(QStringLiteral("the window's size in pixels is out of range")));
    }
    auto image = capture.captureWindow(*target, *size);
    if (!image) {
        return fail(Failure::failed(image.error()));
    }
    return std::move(image).value();
}

}  // namespace rk
