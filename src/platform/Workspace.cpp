#include "platform/Workspace.h"

#include <sys/wait.h>

#include <QDebug>
#include <cerrno>
#include <csignal>

#include "platform/DesktopOpener.h"
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

QString Workspace::settingsNotOpenedLine() {
    return QStringLiteral("System Settings could not be opened on this computer.");
}

bool HostWorkspace::openURL(const QUrl& url, bool /*activate: the desktop's handler decides*/) {
    const std::optional<QString> refused = DesktopOpener::open(url);
    if (refused)
        qInfo().noquote() << "Workspace: could not open " + url.toDisplayString() + ": " + *refused;
    return !refused;
}

}  // namespace rk
