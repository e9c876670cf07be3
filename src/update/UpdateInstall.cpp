#include "update/UpdateInstall.h"

#include <QFileInfo>
#include <QSettings>

#include "update/KTUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateLog.h"
#include "update/UpdateSwap.h"
#include "update/UpdateVersion.h"

namespace rk::KTUpdate {

namespace {

bool refusedHere() {
    if (installsInPlace(targetPath()))
        return false;
    trace(QStringLiteral("pending install refused: ") + targetPath() +
          QStringLiteral(" is not an installable location"));
    return true;
}

// Written before the swap is tried, so a swap that did not take counts as
// such at the next start.
void noteSwapTo(const std::optional<QString>& version) {
    if (version)
        QSettings().setValue(kJustUpdatedTo, *version);
}

}  // namespace

bool pendingStillStaged(const QString& staged) {
    if (QFileInfo(staged).isDir())
        return true;
    trace(QStringLiteral("the staged update at ") + staged +
          QStringLiteral(" is gone; forgetting it rather than restarting the app with nothing to install"));
    setPendingUpdate({});
    return false;
}

void installPendingNow() {
    const auto pending = pendingUpdate();
    if (!pending.staged) {
        checkNow(true);
        return;
    }
    if (refusedHere())
        return;
    if (!pendingStillStaged(*pending.staged)) {
        checkNow(true);
        return;
    }
    const auto staged = takePendingStaged();
    if (!staged)
        return;
    q().async([staged = *staged, version = pending.version] {
        noteSwapTo(version);
        if (const auto swapped = swapAndRelaunch(staged, Relaunch::inFront); !swapped) {
            systemLog(QStringLiteral("pending install failed: ") + swapped.error());
            status('v' + version.value_or(QStringLiteral("update")) + QStringLiteral(" failed: ") +
                   swapped.error());
            alert(QStringLiteral("Update failed"), swapped.error());
            restorePendingStaged(staged);
        }
    });
}

void installPendingOnQuitIfAny() {
    const auto pending = pendingUpdate();
    if (!pending.staged || refusedHere())
        return;
    // The app is ending: no check can run now; the next launch's will.
    if (!pendingStillStaged(*pending.staged))
        return;
    const auto staged = takePendingStaged();
    if (!staged)
        return;
    noteSwapTo(pending.version);
    if (const auto swapped = swapAndRelaunch(*staged, Relaunch::none); !swapped)
        systemLog(QStringLiteral("on-quit install failed: ") + swapped.error());
}

}  // namespace rk::KTUpdate
