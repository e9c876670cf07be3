#include "platform/ScreenCapture.h"

#include "platform/Seam.h"

namespace rk {

namespace {

const QString kNotPermitted = QStringLiteral("screen capture is not permitted on this system");

}  // namespace

Result<std::vector<ShareableWindow>, QString> HostScreenCapture::shareableWindows() {
    return fail(kNotPermitted);
}

Result<QImage, QString> HostScreenCapture::captureWindow(const ShareableWindow&, QSize) {
    return fail(kNotPermitted);
}

ScreenCapture& ScreenCapture::current() {
    return Seam<ScreenCapture>::current<HostScreenCapture>();
}

void ScreenCapture::setCurrent(ScreenCapture* capture) {
    Seam<ScreenCapture>::setCurrent(capture);
}

}  // namespace rk
