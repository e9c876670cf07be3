#include "update/UpdateSwap.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <optional>

#include "platform/AppBundle.h"
#include "platform/Machine.h"
#include "platform/SystemPaths.h"
#include "update/KTUpdate.h"
#include "update/UpdateLog.h"
#include "update/UpdateQuit.h"
#include "update/UpdateState.h"
#include "update/UpdateVersion.h"

namespace rk::KTUpdate {

int swapWaitPolls = kSwapWaitPolls;

namespace {

// Whether this process has started its one swap script, and why the start
// failed when it did.
struct SwapState {
    bool scheduled = false;
    std::optional<QString> startFailure;
};

QMutex swapMutex;
SwapState swapState;

QString standardised(QString path, const QString& home) {
    if (path == QStringLiteral("~") || path.startsWith(QStringLiteral("~/")))
        path = home + path.mid(1);
    return QDir::cleanPath(path);
}

// Links resolved where the folder exists, then lower-cased.
QString resolvedLower(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return (canonical.isEmpty() ? folder : canonical).toLower();
}

QString tool(MacTool which) {
    return SystemPaths::current().tool(which);
}

// The LaunchServices register tool where this machine has it, first found wins.
QString launchServicesRegister() {
    for (const MacTool candidate : SystemPaths::registerTools()) {
        if (QFileInfo(tool(candidate)).isExecutable())
            return tool(candidate);
    }
    return tool(SystemPaths::registerTools().constFirst());
}

QString relaunchWords(Relaunch relaunch) {
    switch (relaunch) {
        case Relaunch::inFront:
            return QStringLiteral(", relaunch in front");
        case Relaunch::inBackground:
            return QStringLiteral(", relaunch in background");
        case Relaunch::none:
            break;
    }
    return QStringLiteral(", no relaunch");
}

void askToQuit(Relaunch relaunch) {
    if (relaunch != Relaunch::none)
        onMain([] { terminateForUpdate(); });
}

}  // namespace

bool installsInPlace(const QString& bundlePath, const QString& home) {
    const QString path = standardised(bundlePath, home);
    if (!isBundlePath(path))
        return false;
    const QString folder = resolvedLower(QFileInfo(path).path()) + '/';
    if (folder.contains(QStringLiteral(".app/")))
        return false;
    if (folder.startsWith(QStringLiteral("/applications/")))
        return true;
    return folder.startsWith(resolvedLower(QDir::cleanPath(home)) + QStringLiteral("/applications/"));
}

QStringList locationSelftest() {
    const QString home = QStringLiteral("/Users/someone");
    const QStringList installable{
        "/Users/someone/Applications/Example App.app",
        "/Applications/Example App.app",
        "/Applications/Utilities/Some Tool.app",
        "/Applications/Setapp/Example App.app",
        "/applications/Example App.app",
    };
    const QStringList refused{
        "/Users/someone/Developer/.build/release/Example App.app",
        "/Users/someone/Developer/Example/.build/debug/Example App.app",
        "/Users/someone/Library/Developer/Xcode/DerivedData/App-abc/Build/Products/Release/Example App.app",
        "/private/var/folders/_7/x/T/AppTranslocation/1234/d/Example App.app",
        "/Applications-old/Example App.app",
        "/Users/someone/Applications Backup/Example App.app",
        "/Users/someone/Downloads/Example App.app",
        "/Applications/Example App",
        "/Applications/Example App.APP",
        "/Applications/Example App.app/Contents/Library/LoginItems/Helper.app",
    };
    QStringList disagreements;
    for (const QString& path : installable) {
        if (!installsInPlace(path, home))
            disagreements << QStringLiteral("control: refused to update the installed copy at ") + path;
    }
    for (const QString& path : refused) {
        if (installsInPlace(path, home))
            disagreements << QStringLiteral("decoy: would swap an update over ") + path;
    }
    return disagreements;
}

Result<Unit, QString> swapAndRelaunch(const QString& staged, Relaunch relaunch) {
    const QString target = targetPath();
    if (!isBundlePath(target))
        return fail(QStringLiteral("not running from an .app bundle"));
    if (!installsInPlace(target)) {
        trace(
            QStringLiteral("refused to install: ") + target +
            QStringLiteral(" is not an installable location, so an update would swap over a copy that is not "
                           "the installed app"));
        return fail(
            QStringLiteral("this copy is not in /Applications or ~/Applications, so updates install only "
                           "into a copy that is"));
    }

    QMutexLocker lock(&swapMutex);
    if (swapState.scheduled) {
        if (const auto why = swapState.startFailure) {
            // Asking the app to quit now would end it with nothing to install it.
            trace(QStringLiteral("a swap was already tried in this process and its script did not start (") +
                  *why + QStringLiteral("); not asking to quit"));
            return fail(QStringLiteral("the install script could not start (") + *why +
                        QStringLiteral("); quit and reopen the app to try again"));
        }
        trace(QStringLiteral(
            "a swap is already staged for this process; re-asking to quit rather than spawning a "
            "second swapper"));
        askToQuit(relaunch);
        return Unit{};
    }

    const QFileInfo current(target);
    const QString stagedName = QFileInfo(staged).fileName();
    const bool renamed = isBundlePath(stagedName) && stagedName != current.fileName();
    const QString destination = renamed ? current.path() + '/' + stagedName : target;
    if (renamed && (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink())) {
        trace(QStringLiteral("refused to install: ") + destination +
              QStringLiteral(" is already there and is not this update's; keeping ") + target);
        return fail(destination + QStringLiteral(" is already there, so the renamed update would replace "
                                                 "something it did not make; keeping this copy"));
    }

    swapState.scheduled = true;
    SwapScript swap{
        .current = target,
        .staged = staged,
        .destination = destination,
        .stage = QFileInfo(staged).path(),
        .log = logPath(),
        .pid = targetPID.value_or(AppBundle::current().processID()),
        .waitPolls = swapWaitPolls,
        .relaunch = relaunch,
        .headlessRestartLabel = headlessRestartLabel,
        .ditto = tool(MacTool::ditto),
        .plistBuddy = tool(MacTool::plistBuddy),
        .defaults = tool(MacTool::defaults),
        .launchServicesRegister = launchServicesRegister(),
        .launchctl = tool(MacTool::launchctl),
        .open = tool(MacTool::open),
    };
    trace(QStringLiteral("swap shell spawned: waits for pid %1, then %2 <- %3")
              .arg(swap.pid)
              .arg(target, staged) +
          (renamed ? QStringLiteral(" (renamed to ") + destination + ')' : QString()) +
          relaunchWords(relaunch));
    // In a session of its own, so that its process group is the script's.
    const auto started = Machine::current().startDetached(tool(MacTool::shell), {"-c", swapScriptText(swap)});
    if (!started) {
        swapState.startFailure = started.error();
        return fail(started.error());
    }
    askToQuit(relaunch);
    return Unit{};
}

void state::resetSwap() {
    QMutexLocker lock(&swapMutex);
    swapState = {};
    swapWaitPolls = kSwapWaitPolls;
}

}  // namespace rk::KTUpdate
