#include "update/KTUpdate.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <cstdlib>
#include <utility>

#include "update/KTUpdateModel.h"
#include "update/UpdateLog.h"
#include "update/UpdateQuit.h"
#include "update/UpdateState.h"

namespace rk::KTUpdate {

namespace {

// The configuration as a process starts with it.
constexpr double kCheckInterval = 21600;
constexpr double kLiveWorkRetryInterval = 300;

}  // namespace

QString feedBase = QStringLiteral(ROWKEEPER_UPDATE_FEED_BASE);
QString appKey;
QString teamID = QStringLiteral(ROWKEEPER_UPDATE_TEAM_ID);
double checkInterval = kCheckInterval;
std::optional<QString> headlessRestartLabel;
std::optional<QString> targetBundlePath;
std::optional<qint64> targetPID;
double liveWorkRetryInterval = kLiveWorkRetryInterval;

Hook<std::function<bool()>> autoEnabled{[] { return autoCheck(); }};
Hook<std::function<void(const QString&)>> onStatus;
Hook<std::function<void(const QString&)>> onPendingUpdate;
Hook<std::function<void()>> onPolicyChanged;
Hook<std::function<bool()>> shouldDeferInstall;
Hook<std::function<bool()>> mustNotInstallNow;
Hook<bool> holdsNoLiveWork;
Hook<std::function<void(const QString&)>> onJustUpdated;
Hook<std::function<void(const QString&, const QString&)>> presentNotice;
Hook<std::function<bool(const QString&, const QString&, const QString&, const QString&)>> presentConfirm;

namespace {

bool stored(const char* key, bool whenAbsent) {
    const QSettings defaults;
    return defaults.contains(key) ? defaults.value(key).toBool() : whenAbsent;
}

void store(const char* key, bool on) {
    QSettings().setValue(key, on);
    onMain([] { onPolicyChanged(); });
}

QMutex pendingMutex;
PendingUpdate pending;

}  // namespace

bool liveWorkDeclared() {
    return mustNotInstallNow.assigned() || holdsNoLiveWork.assigned();
}

bool autoCheck() {
    return stored(kAutoCheck, true);
}

bool autoDownload() {
    return stored(kAutoDownload, true);
}

bool autoInstall() {
    return stored(kAutoInstall, true);
}

bool silentWhenActive() {
    return stored(kSilentWhenActive, false);
}

bool fullyAutomatic() {
    return autoCheck() && autoDownload() && autoInstall();
}

void setAutoCheck(bool on) {
    store(kAutoCheck, on);
}

void setAutoDownload(bool on) {
    store(kAutoDownload, on);
}

void setAutoInstall(bool on) {
    store(kAutoInstall, on);
}

void setSilentWhenActive(bool on) {
    store(kSilentWhenActive, on);
}

void setFullyAutomatic(bool on) {
    setAutoCheck(on);
    setAutoDownload(on);
    setAutoInstall(on);
}

std::optional<QDateTime> lastCheckDate() {
    const double seconds = QSettings().value(kLastCheck).toDouble();
    if (!(seconds > 0))
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000));
}

PendingUpdate pendingUpdate() {
    QMutexLocker lock(&pendingMutex);
    return pending;
}

void setPendingUpdate(const PendingUpdate& update) {
    QMutexLocker lock(&pendingMutex);
    pending = update;
}

bool hasPendingUpdate() {
    return pendingUpdate().staged.has_value();
}

std::optional<QString> takePendingStaged() {
    QMutexLocker lock(&pendingMutex);
    return std::exchange(pending.staged, std::nullopt);
}

void restorePendingStaged(const QString& staged) {
    QMutexLocker lock(&pendingMutex);
    pending.staged = staged;
}

std::optional<QString> pendingUpdateVersion() {
    return pendingUpdate().version;
}

std::optional<QString> pendingUpdateNotes() {
    return pendingUpdate().notes;
}

std::optional<QUrl> pendingUpdateNotesURL() {
    return pendingUpdate().notesURL;
}

bool pendingUpdateIsCritical() {
    return pendingUpdate().critical;
}

void resetProcessState() {
    feedBase = QStringLiteral(ROWKEEPER_UPDATE_FEED_BASE);
    appKey.clear();
    teamID = QStringLiteral(ROWKEEPER_UPDATE_TEAM_ID);
    checkInterval = kCheckInterval;
    headlessRestartLabel.reset();
    targetBundlePath.reset();
    targetPID.reset();
    liveWorkRetryInterval = kLiveWorkRetryInterval;
    autoEnabled.reset();
    onStatus.reset();
    onPendingUpdate.reset();
    onPolicyChanged.reset();
    shouldDeferInstall.reset();
    mustNotInstallNow.reset();
    holdsNoLiveWork.reset();
    onJustUpdated.reset();
    presentNotice.reset();
    presentConfirm.reset();
    setPendingUpdate({});
    state::resetCheck();
    state::resetHolds();
    state::resetStaging();
    state::resetSwap();
    setLogPath(QString());
    MessageBoxes::setCurrent(nullptr);
    AppQuit::setCurrent(nullptr);
    KTUpdateModel::endShared();
}

SerialQueue& q() {
    // Never destroyed: destroying it would wait for a check in flight.
    static auto* queue = new SerialQueue(QStringLiteral("kt.update"), QThread::LowPriority);
    return *queue;
}

SerialQueue& logQ() {
    // Never destroyed either, so a task of the update queue that traces while
    // the program ends finds it; what is queued is written before the end.
    static auto* queue = [] {
        auto* made = new SerialQueue(QStringLiteral("kt.update.log"));
        std::atexit([] { logQ().sync([] {}); });
        return made;
    }();
    return *queue;
}

void onMain(std::function<void()> work) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

}  // namespace rk::KTUpdate
