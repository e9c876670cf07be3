#include "permissions/identity/SystemSettingsRefresh.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QSettings>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

#include "permissions/PermissionWizard.h"

namespace rk::KTSystemSettingsRefresh {

namespace {

constexpr int kPollMs = 100;

QString epochKey(const QString& slug) {
    return "KTSystemSettingsRefresh.identityEpoch." + slug;
}

double secondsSince1970(const QDateTime& date) {
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0;
}

// A missing launch date counts as the distant past.
bool startedBefore(const RunningApplication& application, const QDateTime& cutoff) {
    return !application.launchDate || *application.launchDate < cutoff;
}

// Polls until every target is gone or `grace` has passed, then looks once more.
bool waitUntilGone(const QList<RunningApplication>& targets, std::chrono::milliseconds grace,
                   Workspace& workspace) {
    const auto allGone = [&] {
        return std::all_of(targets.begin(), targets.end(),
                           [&](const RunningApplication& target) { return workspace.isGone(target); });
    };
    const QDeadlineTimer deadline(grace.count());
    while (!deadline.hasExpired()) {
        if (allGone())
            return true;
        QThread::msleep(kPollMs);
    }
    return allGone();
}

// Back on the main thread after a quit: the log line, the status, the page.
void finishOpening(QuitResult result, const QUrl& pane, const std::function<void(bool)>& then,
                   Workspace& workspace) {
    KTPermissionWizard::log(
        "wizard: System Settings started before this app's identity changed; quit it in the background "
        "before opening the pane: " +
        rawValue(result));
    if (result == QuitResult::quit || result == QuitResult::forced)
        Status::shared().setRestartedAt(QDateTime::currentDateTimeUtc());
    const bool opened = workspace.openURL(pane, true);
    if (then)
        then(opened);
}

}  // namespace

QString rawValue(QuitResult result) {
    switch (result) {
        case QuitResult::notRunning:
            return "notRunning";
        case QuitResult::quit:
            return "quit";
        case QuitResult::forced:
            return "forced";
        case QuitResult::failed:
            return "failed";
    }
    return QString();
}

std::optional<QuitResult> quitResult(const QString& raw) {
    for (const QuitResult result :
         {QuitResult::notRunning, QuitResult::quit, QuitResult::forced, QuitResult::failed}) {
        if (rawValue(result) == raw)
            return result;
    }
    return std::nullopt;
}

// Its first use is on the main thread, so it lives there.
Status& Status::shared() {
    static Status status;
    return status;
}

void Status::setRestartedAt(const QDateTime& at) {
    restartedAt_ = at;
    emit restartedAtChanged();
}

void recordIdentityChange(const QString& slug, const QDateTime& at) {
    const auto stored = epoch(slug);
    if (stored && *stored >= at)
        return;
    QSettings().setValue(epochKey(slug), secondsSince1970(at));
}

std::optional<QDateTime> epoch(const QString& slug) {
    const double seconds = QSettings().value(epochKey(slug)).toDouble();
    if (!(seconds > 0))
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qRound64(seconds * 1000.0), Qt::UTC);
}

bool shouldQuit(bool legacyDeclared, const std::optional<QDateTime>& epoch, bool settingsRunning,
                const std::optional<QDateTime>& settingsLaunchedAt) {
    if (!legacyDeclared || !epoch || !settingsRunning)
        return false;
    if (!settingsLaunchedAt)
        return true;
    return *settingsLaunchedAt < *epoch;
}

bool wouldQuitNow(const KTWizardProduct& product, Workspace& workspace) {
    const QList<RunningApplication> running = workspace.runningApplications(bundleID);
    // The earliest launch date; none as soon as one instance has none (the
    // distant past comes before every date).
    std::optional<QDateTime> earliest;
    for (qsizetype i = 0; i < running.size(); ++i) {
        const auto& launched = running[i].launchDate;
        if (!launched) {
            earliest.reset();
            break;
        }
        if (i == 0 || *launched < *earliest)
            earliest = launched;
    }
    return shouldQuit(!product.legacyBundleIdentifiers.isEmpty(), epoch(product.slug), !running.isEmpty(),
                      earliest);
}

QuitResult quit(const QString& bundleID, const std::optional<QDateTime>& launchedBefore,
                std::chrono::milliseconds grace, Workspace& workspace) {
    QList<RunningApplication> targets;
    for (const RunningApplication& application : workspace.runningApplications(bundleID)) {
        if (!launchedBefore || startedBefore(application, *launchedBefore))
            targets << application;
    }
    if (targets.isEmpty())
        return QuitResult::notRunning;
    for (const RunningApplication& target : targets)
        workspace.terminate(target);
    if (waitUntilGone(targets, grace, workspace))
        return QuitResult::quit;
    for (const RunningApplication& target : targets) {
        if (!workspace.isGone(target))
            workspace.forceTerminate(target);
    }
    return waitUntilGone(targets, grace, workspace) ? QuitResult::forced : QuitResult::failed;
}

void open(const QUrl& pane, const KTWizardProduct& product, std::function<void(bool opened)> then) {
    Workspace& workspace = Workspace::current();
    const std::optional<QDateTime> cutoff = epoch(product.slug);
    if (!cutoff || !wouldQuitNow(product, workspace)) {
        const bool opened = workspace.openURL(pane, true);
        if (then)
            then(opened);
        return;
    }
    const QPointer<QCoreApplication> app = QCoreApplication::instance();
    if (!app) {
        finishOpening(quit(bundleID, cutoff, defaultGrace, workspace), pane, then, workspace);
        return;
    }
    QThreadPool::globalInstance()->start([app, cutoff, pane, then, &workspace] {
        const QuitResult result = quit(bundleID, cutoff, defaultGrace, workspace);
        if (app) {
            QMetaObject::invokeMethod(
                app, [result, pane, then, &workspace] { finishOpening(result, pane, then, workspace); },
                Qt::QueuedConnection);
        }
    });
}

void installIdentityChangeHook() {
    KTPermissionWizard::onIdentityChange = [](const QString& slug, const QDateTime& at) {
        recordIdentityChange(slug, at);
    };
}

}  // namespace rk::KTSystemSettingsRefresh
