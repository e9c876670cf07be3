#include "platform/Workspace.h"

#include <sys/wait.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <cerrno>
#include <csignal>

#include "platform/Seam.h"

namespace rk {

namespace {
// Process id 0 and negative ids name process groups, never one application.
bool signal(const RunningApplication& application, int number) {
    return application.pid > 0 && ::kill(application.pid, number) == 0;
}
}  // namespace

Workspace& Workspace::current() {
    return Seam<Workspace>::current<HostWorkspace>();
}

void Workspace::setCurrent(Workspace* workspace) {
    Seam<Workspace>::setCurrent(workspace);
}

bool HostWorkspace::terminate(const RunningApplication& application) {
    return signal(application, SIGTERM);
}

bool HostWorkspace::forceTerminate(const RunningApplication& application) {
    return signal(application, SIGKILL);
}

bool HostWorkspace::isGone(const RunningApplication& application) {
    if (application.pid <= 0)
        return true;
    // A child that has ended stays a zombie, which answers signal 0, until it
    // is reaped.
    int status = 0;
    if (::waitpid(application.pid, &status, WNOHANG) == application.pid)
        return true;
    if (::kill(application.pid, 0) == 0)
        return false;
    return errno == ESRCH;
}

bool HostWorkspace::openURL(const QUrl& url, bool /*activate: the desktop's handler decides*/) {
    // The desktop services need the GUI application's platform integration;
    // without one (a command-line mode) there is nobody to hand the link to.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace rk
