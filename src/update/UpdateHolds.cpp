#include "update/UpdateHolds.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSettings>
#include <QTimer>
#include <atomic>
#include <memory>

#include "update/KTUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateInstall.h"
#include "update/UpdateLog.h"
#include "update/UpdateState.h"
#include "update/UpdateSwap.h"
#include "update/UpdateVersion.h"

namespace rk::KTUpdate {

namespace {

std::atomic<bool> retryArmed{false};

// Live work first; the courtesy hold is not asked while live work holds.
bool anyHold() {
    return mustNotInstallNow() || courtesyHolds();
}

void retryHeldInstall() {
    retryArmed = false;
    switch (heldRetry(hasPendingUpdate(), autoInstall(), anyHold())) {
        case HeldRetry::stop:
            return;
        case HeldRetry::wait:
            armLiveWorkRetry();
            return;
        case HeldRetry::install:
            break;
    }
    const auto pending = pendingUpdate();
    if (!pending.staged)
        return;
    if (!installsInPlace(targetPath())) {
        trace(QStringLiteral("held install refused: ") + targetPath() +
              QStringLiteral(" is not an installable location"));
        return;
    }
    if (!pendingStillStaged(*pending.staged)) {
        onMain([] { checkNow(true); });
        return;
    }
    const auto staged = takePendingStaged();
    if (!staged)
        return;
    if (anyHold()) {
        restorePendingStaged(*staged);
        armLiveWorkRetry();
        return;
    }
    status(QStringLiteral("installing v") + pending.version.value_or(QStringLiteral("update")) +
           QStringLiteral("\u2026 (no longer in use)"));
    if (pending.version)
        QSettings().setValue(kJustUpdatedTo, *pending.version);
    if (const auto swapped = swapAndRelaunch(*staged, Relaunch::inBackground); !swapped) {
        systemLog(QStringLiteral("held install failed: ") + swapped.error());
        restorePendingStaged(*staged);
    }
}

}  // namespace

HeldRetry heldRetry(bool pending, bool autoInstall, bool holds) {
    if (!pending || !autoInstall)
        return HeldRetry::stop;
    return holds ? HeldRetry::wait : HeldRetry::install;
}

bool courtesyHolds() {
    return !silentWhenActive() && shouldDeferInstall();
}

void hold(const QString& staged, const Appcast& entry) {
    setPendingUpdate({.staged = staged,
                      .version = entry.version,
                      .notes = entry.notes,
                      .notesURL = entry.notesURL,
                      .critical = entry.critical});
}

void armLiveWorkRetry() {
    if (retryArmed.exchange(true))
        return;
    const auto delay = std::chrono::milliseconds(qint64(liveWorkRetryInterval * 1000));
    onMain([delay] {
        QTimer::singleShot(delay, QCoreApplication::instance(), [] { q().async(retryHeldInstall); });
    });
}

bool isLiveWorkRetryArmed() {
    return retryArmed;
}

void state::resetHolds() {
    retryArmed = false;
}

bool confirmInstall(const QString& version, qint64 build, std::chrono::milliseconds wait) {
    // Shared with the box, which may answer after the wait is over: that
    // answer then changes nothing.
    struct Answer {
        QSemaphore given;
        std::atomic<bool> install{false};
    };
    const auto answer = std::make_shared<Answer>();
    onMain([answer, version, build] {
        const QString title = QStringLiteral("A new version is available");
        const QString message = 'v' + version + QStringLiteral(" (") + QString::number(build) +
                                QStringLiteral(") is ready. Install it now? The app will relaunch.");
        const QString confirm = QStringLiteral("Install and Relaunch");
        const QString later = QStringLiteral("Later");
        MessageBoxes::current().activate();
        const auto present = presentConfirm.get();
        answer->install = present ? present(title, message, confirm, later)
                                  : MessageBoxes::current().confirm(title, message, confirm, later);
        answer->given.release();
    });
    return answer->given.tryAcquire(1, int(wait.count())) && answer->install;
}

}  // namespace rk::KTUpdate
