#pragma once
// The self-updater's shared state: the configuration a host sets before it
// starts the updater, the hooks through which the host is told and asked
// things, the policy settings kept in the user defaults (QSettings), the
// downloaded update that waits to be installed, and the updater's two serial
// queues. The updater is a namespace of functions and these few values; its
// other parts (log, feed, download, ...) add to the namespace in headers of
// their own.
//
// "KT" marks the reusable layer that the permission wizard and the updater
// form; it knows nothing of the leftover finder.
//
// Threads: the host sets the configuration on the main thread before it
// starts the updater, which afterwards only reads it. Hooks may be replaced
// at any time (each is a `Hook`); those that reach the host are called on the
// main thread through `onMain`. The policy settings may be read and written
// from any thread. The pending update is written on the update queue and read
// anywhere.

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "update/Hook.h"
#include "update/SerialQueue.h"

namespace rk::KTUpdate {

// ---- Configuration ----

// Base of the feed: "https://" and a host, no trailing slash. The build's
// setting; empty leaves the updater off.
extern QString feedBase;
// The app's folder on the feed; empty leaves the updater off.
extern QString appKey;
// The code-signing team a downloaded bundle must be signed by (the build's setting).
extern QString teamID;
// Seconds between automatic checks.
extern double checkInterval;
// A launchd job to restart after a swap made without a relaunch; none: nothing is restarted.
extern std::optional<QString> headlessRestartLabel;
// The bundle to update when it is not this process's own.
extern std::optional<QString> targetBundlePath;
// The process a swap waits for; none: this process.
extern std::optional<qint64> targetPID;
// Seconds between the retries of a held install.
extern double liveWorkRetryInterval;

// ---- Hooks ----

// Asked before every automatic check; false skips it. Default: `autoCheck()`.
extern Hook<std::function<bool()>> autoEnabled;
// Every status message, on the main thread. Default: nothing.
extern Hook<std::function<void(const QString&)>> onStatus;
// The feed version of an update found and not installed right away, on the main thread.
extern Hook<std::function<void(const QString&)>> onPendingUpdate;
// After every write of a policy setting, on the main thread.
extern Hook<std::function<void()>> onPolicyChanged;
// True holds an automatic install while the person uses the Mac. Default: false.
extern Hook<std::function<bool()>> shouldDeferInstall;
// True holds an automatic install because it would end live work. Default: false.
extern Hook<std::function<bool()>> mustNotInstallNow;
// A host's declaration that it has no live work to protect; the updater
// never reads its value, only whether it was assigned (`liveWorkDeclared`).
extern Hook<bool> holdsNoLiveWork;
// Once at start, on the main thread, with the running version when the last swap took.
extern Hook<std::function<void(const QString&)>> onJustUpdated;
// Replaces the built-in message box of `alert` when set: (title, message).
extern Hook<std::function<void(const QString&, const QString&)>> presentNotice;
// Replaces the built-in install confirmation when set: (title, message,
// confirm, cancel); true means install.
extern Hook<std::function<bool(const QString&, const QString&, const QString&, const QString&)>>
    presentConfirm;

// The host has assigned `mustNotInstallNow` or `holdsNoLiveWork`, with any value.
bool liveWorkDeclared();

// ---- Policy settings (user defaults) ----

inline constexpr char kAutoCheck[] = "KTUpdateAutoCheck";
inline constexpr char kAutoDownload[] = "KTUpdateAutoDownload";
inline constexpr char kAutoInstall[] = "KTUpdateAutoInstall";
inline constexpr char kSilentWhenActive[] = "KTUpdateSilentWhenActive";
inline constexpr char kLastCheck[] = "KTUpdateLastCheck";
inline constexpr char kJustUpdatedTo[] = "KTUpdateJustUpdatedTo";
inline constexpr char kSwapFailVersion[] = "KTUpdateSwapFailVersion";
inline constexpr char kSwapFailCount[] = "KTUpdateSwapFailCount";

// True unless stored false.
bool autoCheck();
bool autoDownload();
bool autoInstall();
// False unless stored true.
bool silentWhenActive();
// `autoCheck`, `autoDownload` and `autoInstall`, read in that order up to the first false.
bool fullyAutomatic();
// Each write stores the value, then schedules `onPolicyChanged` on the main thread.
void setAutoCheck(bool on);
void setAutoDownload(bool on);
void setAutoInstall(bool on);
void setSilentWhenActive(bool on);
// Writes check, download and install in that order, each followed by its notification.
void setFullyAutomatic(bool on);
// The last check's start; none when never stored or stored as 0 or less.
std::optional<QDateTime> lastCheckDate();

// ---- Pending update ----

// A verified download that waits to be installed. Empty at launch: nothing
// of it survives the process.
struct PendingUpdate {
    std::optional<QString> staged;  // the staged bundle's path
    std::optional<QString> version;
    std::optional<QString> notes;
    std::optional<QUrl> notesURL;
    bool critical = false;

    friend bool operator==(const PendingUpdate&, const PendingUpdate&) = default;
};

PendingUpdate pendingUpdate();
void setPendingUpdate(const PendingUpdate& pending);
bool hasPendingUpdate();
// Takes the staged bundle out of the pending record for an install, in one
// step, so two installs never take it both; the rest of the record stays.
std::optional<QString> takePendingStaged();
// Puts a staged bundle back after an install that did not start.
void restorePendingStaged(const QString& staged);
std::optional<QString> pendingUpdateVersion();
std::optional<QString> pendingUpdateNotes();
std::optional<QUrl> pendingUpdateNotesURL();
bool pendingUpdateIsCritical();

// ---- The process's state ----

// Puts back, in one step, what the updater keeps for the life of the
// process, as the process started it: the configuration, the hooks (as never
// assigned), the pending update, whether a check or a retry is under way, the
// one-time notice, whether a swap was started, the log's path, the message
// boxes, how the app is ended, and the shared update model, which ends (the
// next use makes a new one, which takes the hooks over again). Timers already
// armed and work already queued still run. For test programs between their
// cases, on the main thread while the update queue is idle; an app has no use
// for it.
void resetProcessState();

// ---- Queues ----

// "kt.update": checks, downloads and installs that leave the main thread. It
// lives until the process ends, so a check still waiting for the network
// never holds up the exit.
SerialQueue& q();
// "kt.update.log": appends to the log file. It too lives until the process
// ends, and what is queued when the program exits is written first.
SerialQueue& logQ();
// Runs `work` on the main thread's next turn; dropped when there is no
// application object.
void onMain(std::function<void()> work);

}  // namespace rk::KTUpdate
