#pragma once
// Restarting the app: a detached successor shell waits for this process to
// end, then starts the app once. Values reach the script only as positional
// parameters, never spliced into its text, so no path can change what it runs.

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/SystemPaths.h"

namespace rk {

struct KTRelaunch {
    // Where and how the successor is started, and how this app is asked to quit.
    struct Environment {
        QString shell = SystemPaths::toolLocation(MacTool::shell);
        QString executable;
        qint64 processID = 0;
        std::function<void()> terminate;
        // This process, its executable, and a queued quit of the application.
        static Environment host();
    };

    // Waits up to 30 s (300 × 0.1 s) for process $1 to end and gives up if it
    // is still running; otherwise, after 1 s, replaces itself with $2, so that
    // exactly one copy starts and the successor's process becomes the app.
    static QString script();
    // The shell's arguments: "-c", the script, the script's name, then $1 and $2.
    static QStringList shellArguments(qint64 processID, const QString& executable);
    // Starts the successor detached; false when it could not be started.
    static bool startSuccessor(const Environment& environment);
};

}  // namespace rk
