#include "platform/Workspace.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <atomic>

namespace rk {

namespace {
HostWorkspace& host() {
    static HostWorkspace workspace;
    return workspace;
}

std::atomic<Workspace*>& installed() {
    static std::atomic<Workspace*> current{nullptr};
    return current;
}
}  // namespace

Workspace& Workspace::current() {
    Workspace* workspace = installed().load();
    return workspace ? *workspace : host();
}

void Workspace::setCurrent(Workspace* workspace) {
    installed().store(workspace);
}

bool HostWorkspace::openURL(const QUrl& url, bool /*activate: the desktop's handler decides*/) {
    // The desktop services need the GUI application's platform integration;
    // without one (a command-line mode) there is nobody to hand the link to.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace rk
