#include "platform/Workspace.h"

#include <QDesktopServices>
#include <QGuiApplication>

#include "platform/Seam.h"

namespace rk {

Workspace& Workspace::current() {
    return Seam<Workspace>::current<HostWorkspace>();
}

void Workspace::setCurrent(Workspace* workspace) {
    Seam<Workspace>::setCurrent(workspace);
}

bool HostWorkspace::openURL(const QUrl& url, bool /*activate: the desktop's handler decides*/) {
    // The desktop services need the GUI application's platform integration;
    // without one (a command-line mode) there is nobody to hand the link to.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace rk
