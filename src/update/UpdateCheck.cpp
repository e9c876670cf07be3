#include "update/UpdateCheck.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QTimer>
#include <atomic>

#include "platform/SystemVersion.h"
#include "update/KTUpdate.h"
#include "update/UpdateDownload.h"
#include "update/UpdateFeed.h"
#include "update/UpdateHolds.h"
#include "update/UpdateLog.h"
#include "update/UpdateState.h"
#include "update/UpdateSwap.h"
#include "update/UpdateVersion.h"

namespace rk::KTUpdate {

namespace {

// Set on the main thread when a check is accepted, cleared on the update
// queue when it ends.
std::atomic<bool> inFlight{false};
std::atomic<bool> undeclaredNoticeLogged{false};

const QString kDot = QStringLiteral(" \u00b7 ");
const QString kNoFeed = QStringLiteral("no update feed in this build");
const QString kNotInstalled = QStringLiteral("not running from an installed app");

QString offLine(const QString& reason) {
    return QStringLiteral("Updates: off") + kDot + reason;
}

QString yesNo(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

void automaticCheck() {
    if (autoEnabled())
        checkNow(false);
}

// Whether the swap written down before the last quit took: the running
// version is the one it installed. Counts the attempts of a version that
// did not take.
void judgeLastSwap() {
    QSettings defaults;
    if (!defaults.contains(kJustUpdatedTo))
        return;
    const QString swappedTo = defaults.value(kJustUpdatedTo).toString();
    defaults.remove(kJustUpdatedTo);
    const BundleVersion running = currentVersion();
    if (swappedTo == running.version) {
        defaults.remove(kSwapFailVersion);
        defaults.remove(kSwapFailCount);
        trace(QStringLiteral("running v") + swappedTo + QStringLiteral(" after a swap; update took"));
        onMain([swappedTo] { onJustUpdated(swappedTo); });
        return;
    }
    const bool sameVersion = defaults.value(kSwapFailVersion).toString() == swappedTo;
    const qint64 attempt = 1 + (sameVersion ? defaults.value(kSwapFailCount).toLongLong() : 0);
    defaults.setValue(kSwapFailVersion, swappedTo);
    defaults.setValue(kSwapFailCount, attempt);
    trace(QStringLiteral("swap to v%1 did not take (attempt %2 of %3); still running v%4")
              .arg(swappedTo)
              .arg(attempt)
              .arg(kSwapAttempts)
              .arg(running.version));
    if (attempt >= kSwapAttempts) {
        status(QStringLiteral("v%1 could not be installed after %2 attempts. Automatic retries are paused")
                   .arg(swappedTo)
                   .arg(attempt));
    }
}

void announce(const QString& version) {
    onMain([version] { onPendingUpdate(version); });
}

void runCheck(bool interactive) {
    const QDateTime now = QDateTime::currentDateTime();
    QSettings().setValue(kLastCheck, double(now.toMSecsSinceEpoch()) / 1000.0);
    const QString stamp = checkStamp(now);
    const auto ended = [&](const QString& outcome) {
        status(QStringLiteral("checked ") + stamp + kDot + outcome);
    };
    const auto tell = [&](const QString& title, const QString& text) {
        if (interactive)
            alert(title, text);
    };

    const auto feed = fetchAppcast();
    if (!feed) {
        ended(QStringLiteral("feed unreachable"));
        tell(QStringLiteral("Couldn't reach the update feed"),
             QStringLiteral("No update was applied. ") + feedBase +
                 QStringLiteral(" may be unreachable from this network; the app keeps working as-is."));
        return;
    }
    const QString target = targetPath();
    const BundleVersion running = currentVersion();
    const QString version = feed->version;
    trace(QStringLiteral("feed says v%1 (%2); running v%3 (%4) at %5")
              .arg(version)
              .arg(feed->build)
              .arg(running.version)
              .arg(running.build)
              .arg(target));

    if (!feedIsNewer(*feed, running)) {
        const QString build = QString::number(running.build);
        const QString published = QString::number(feed->build);
        const QString suffix = publishedSuffix(feed->published, now);
        if (feed->build < running.build) {
            ended(QStringLiteral("build ") + build + QStringLiteral(" is newer than the published build ") +
                  published);
            tell(QStringLiteral("This Mac is ahead of the update feed"),
                 QStringLiteral("This Mac runs build ") + build +
                     QStringLiteral(". The newest published build is ") + published + suffix +
                     QStringLiteral(", so other Macs will not see build ") + build +
                     QStringLiteral(" until it is published."));
        } else {
            ended(QStringLiteral("up to date") + kDot + QStringLiteral("build ") + build +
                  QStringLiteral(" is the newest published") + suffix);
            tell(QStringLiteral("You're up to date"),
                 QStringLiteral("Build ") + build + QStringLiteral(" (v") + running.version +
                     QStringLiteral(") is the newest published build") + suffix + '.');
        }
        return;
    }
    if (const auto disk = versionOnDisk(target); disk && !feedIsNewer(*feed, *disk)) {
        trace(QStringLiteral("feed v%1 (%2) is not newer than the build on disk v%3 (%4); leaving it")
                  .arg(version)
                  .arg(feed->build)
                  .arg(disk->version)
                  .arg(disk->build));
        ended(QStringLiteral("a newer build is installed (v") + disk->version +
              QStringLiteral("); relaunch to use it"));
        return;
    }
    const QSettings defaults;
    const auto failedVersion = defaults.contains(kSwapFailVersion)
                                   ? std::optional(defaults.value(kSwapFailVersion).toString())
                                   : std::nullopt;
    if (!interactive &&
        pausedAfterFailedSwaps(version, failedVersion, defaults.value(kSwapFailCount).toLongLong())) {
        ended('v' + version + QStringLiteral(" could not be installed. Automatic retries are paused"));
        return;
    }
    if (feed->minMacOS && !systemMeets(*feed->minMacOS, SystemVersion::current().macOS())) {
        ended('v' + version + QStringLiteral(" needs macOS ") + *feed->minMacOS);
        tell(QStringLiteral("Update needs a newer macOS"),
             'v' + version + QStringLiteral(" requires macOS ") + *feed->minMacOS + '.');
        return;
    }
    if (!interactive && !autoDownload()) {
        ended('v' + version + QStringLiteral(" available"));
        announce(version);
        return;
    }

    const auto failed = [&](const QString& error) {
        ended('v' + version + QStringLiteral(" failed: ") + error);
        tell(QStringLiteral("Update failed"), error);
    };
    status(QStringLiteral("downloading v") + version + QStringLiteral("\u2026"));
    const auto staged = downloadAndVerify(*feed);
    if (!staged) {
        failed(staged.error());
        return;
    }

    const auto held = [&](const QString& message) {
        hold(*staged, *feed);
        status('v' + version + message);
        announce(version);
    };
    if (interactive) {
        if (!confirmInstall(version, feed->build)) {
            held(QStringLiteral(" ready to install"));
            return;
        }
    } else {
        if (!autoInstall()) {
            held(QStringLiteral(" ready to install"));
            return;
        }
        if (!liveWorkDeclared() && !undeclaredNoticeLogged.exchange(true)) {
            systemLog(
                QStringLiteral("live-work hook UNDECLARED for ") + appKey +
                QStringLiteral(": this install relaunches the app with no hold. Assign "
                               "KTUpdate.mustNotInstallNow, or set KTUpdate.holdsNoLiveWork = true if it "
                               "holds none."));
        }
        if (mustNotInstallNow()) {
            held(QStringLiteral(" ready. Holding while this Mac is in use"));
            systemLog(QStringLiteral("holding v") + version +
                      QStringLiteral(": installing now would end live work"));
            armLiveWorkRetry();
            return;
        }
        if (!silentWhenActive() && shouldDeferInstall()) {
            held(QStringLiteral(" ready. Installs on its own when you're not using the app"));
            armLiveWorkRetry();
            return;
        }
    }

    status(QStringLiteral("installing v") + version + QStringLiteral("\u2026"));
    QSettings().setValue(kJustUpdatedTo, version);
    Relaunch relaunch = interactive ? Relaunch::inFront : Relaunch::inBackground;
    if (targetBundlePath && !targetPID) {
        systemLog(QStringLiteral("target was not running; installing without relaunch"));
        relaunch = Relaunch::none;
    }
    if (const auto swapped = swapAndRelaunch(*staged, relaunch); !swapped)
        failed(swapped.error());
}

}  // namespace

void start(std::chrono::milliseconds firstCheck) {
    if (appKey.isEmpty()) {
        systemLog(QStringLiteral("appKey not set; updater disabled"));
        return;
    }
    if (qgetenv("KT_UPDATE_OFF") == "1") {
        systemLog(QStringLiteral("KT_UPDATE_OFF=1: updater off for this process"));
        return;
    }
    const QString target = targetPath();
    if (!isBundlePath(target)) {
        systemLog(QStringLiteral("not running from an .app bundle (") + target +
                  QStringLiteral("); updater off"));
        return;
    }
    if (!installsInPlace(target)) {
        trace(QStringLiteral("running from ") + target +
              QStringLiteral(
                  ", which is not an installable location (outside /Applications and ~/Applications, "
                  "or inside another app): updater off, so the feed cannot replace this copy"));
        return;
    }
    if (feedBase.isEmpty()) {
        systemLog(QStringLiteral("feed base not set; updater disabled"));
        return;
    }
    judgeLastSwap();

    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QTimer::singleShot(firstCheck, app, automaticCheck);
    // Kept for the life of the process; nothing stops it.
    auto* timer = new QTimer(app);
    timer->setTimerType(Qt::VeryCoarseTimer);
    timer->setInterval(std::chrono::milliseconds(qint64(checkInterval * 1000)));
    QObject::connect(timer, &QTimer::timeout, automaticCheck);
    timer->start();
}

void checkNow(bool interactive) {
    if (appKey.isEmpty()) {
        trace(QStringLiteral("check requested but appKey is empty; updater disabled"));
        return;
    }
    if (feedBase.isEmpty()) {
        trace(QStringLiteral("check requested but the feed base is empty; updater disabled"));
        status(offLine(kNoFeed));
        return;
    }
    const QString target = targetPath();
    if (!installsInPlace(target)) {
        trace(QStringLiteral("check refused: ") + target + QStringLiteral(" is not an installable location"));
        status(offLine(kNotInstalled));
        if (interactive) {
            alert(QStringLiteral("Updates install into Applications"),
                  QStringLiteral("This copy runs from ") + target +
                      QStringLiteral(
                          ". Updates install only into a copy in /Applications or ~/Applications, so "
                          "open that copy to update."));
        }
        return;
    }
    if (inFlight.exchange(true)) {
        trace(QStringLiteral("check requested (interactive=") + yesNo(interactive) +
              QStringLiteral(") while a check is already in flight; not started"));
        if (interactive) {
            alert(
                QStringLiteral("Already checking for updates"),
                QStringLiteral("A check started a moment ago is still running. If it finds a newer build, it "
                               "will offer to install it."));
        }
        return;
    }
    trace(QStringLiteral("check started (interactive=") + yesNo(interactive) + QStringLiteral(", feed ") +
          feedBase + '/' + appKey + ')');
    q().async([interactive] {
        runCheck(interactive);
        inFlight = false;
    });
}

void checkIfStale(double olderThan) {
    const double last = QSettings().value(kLastCheck).toDouble();
    const double nowSeconds = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    if (autoEnabled() && nowSeconds - last >= olderThan)
        checkNow(false);
}

bool isChecking() {
    return inFlight;
}

std::optional<QString> offReason() {
    if (feedBase.isEmpty())
        return kNoFeed;
    if (!installsInPlace(targetPath()))
        return kNotInstalled;
    return std::nullopt;
}

std::optional<QString> offStatusLine() {
    if (const auto reason = offReason())
        return offLine(*reason);
    return std::nullopt;
}

void state::resetCheck() {
    inFlight = false;
    undeclaredNoticeLogged = false;
}

}  // namespace rk::KTUpdate
