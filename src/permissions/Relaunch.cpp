#include "permissions/Relaunch.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include "platform/AppBundle.h"

namespace rk {

KTRelaunch::Environment KTRelaunch::Environment::host() {
    const AppBundle& bundle = AppBundle::current();
    return Environment{
        .shell = SystemPaths::toolLocation(MacTool::shell),
        .executable = bundle.executablePath(),
        .processID = bundle.processID(),
        .terminate =
            [] {
                if (QCoreApplication* app = QCoreApplication::instance())
                    QTimer::singleShot(0, app, &QCoreApplication::quit);
            },
    };
}

QString KTRelaunch::script() {
    return QStringLiteral(
        "i=0\n"
        "while kill -0 \"$1\" 2>/dev/null; do\n"
        "  i=$((i + 1))\n"
        "  if [ \"$i\" -ge 300 ]; then exit 1; fi\n"
        "  sleep 0.1\n"
        "done\n"
        "sleep 1\n"
        "exec \"$2\" </dev/null\n");
}

QStringList KTRelaunch::shellArguments(qint64 processID, const QString& executable) {
    return {"-c", script(), "kt-successor", QString::number(processID), executable};
}

bool KTRelaunch::startSuccessor(const Environment& environment) {
    if (environment.executable.isEmpty() || environment.processID <= 0)
        return false;
    return QProcess::startDetached(environment.shell,
                                   shellArguments(environment.processID, environment.executable));
}

}  // namespace rk
