#include "platform/ScreenCapture.h"

#include <atomic>

namespace rk {

namespace {

const QString kNotPermitted = QStringLiteral("screen capture is not permitted on this system");

HostScreenCapture& hostCapture() {
    static HostScreenCapture host;
    return host;
}

std::atomic<ScreenCapture*> installed{nullptr};

}  // namespace

Result<std::vector<ShareableWindow>, QString> HostScreenCapture::shareableWindows() {
    return fail(kNotPermitted);
}

Result<QImage, QString> HostScreenCapture::captureWindow(const ShareableWindow&, QSize) {
    return fail(kNotPermitted);
}

ScreenCapture& ScreenCapture::current() {
    ScreenCapture* capture = installed.load();
    return capture ? *capture : hostCapture();
}

void ScreenCapture::setCurrent(ScreenCapture* capture) {
    installed.store(capture);
}

}  // namespace rk
