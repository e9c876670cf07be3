#pragma once
// Refreshing System Settings after the app's bundle identifier changed. A
// System Settings that was already running keeps privacy lists built for the
// old identity, so the page the wizard opens would point at the old copy.
// This remembers per product when the identity last changed (the identity
// epoch, in user defaults under "KTSystemSettingsRefresh.identityEpoch." +
// slug, seconds since 1970), decides whether a running System Settings
// predates it, and quits such a one in the background before a page opens.
//
// Only a product that declares former bundle identifiers ever quits System
// Settings; for any other (this app among them) `wouldQuitNow` is false and
// `open` opens the page at once, whatever epoch is recorded.
//
// Callers: the wizard's permission screens (`wouldQuitNow`, `open`, `Status`,
// on the main thread), the repair's actions (`recordIdentityChange`, from a
// background thread), the wizard's configuration (through the hook installed
// by `installIdentityChangeHook`) and the self-tests (`shouldQuit`, `quit`).
// `recordIdentityChange`, `epoch`, `shouldQuit` and `wouldQuitNow` run on any
// thread; `quit` blocks and never runs on the main thread here.
//
// A namespace rather than a struct so that its status object can carry signals.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

#include "permissions/Permission.h"
#include "platform/Workspace.h"

namespace rk::KTSystemSettingsRefresh {

// System Settings' bundle identifier.
inline constexpr char bundleID[] = "com.apple.systempreferences";

enum class QuitResult {
    notRunning,  // no matching process
    quit,        // all left after the polite request
    forced,      // all gone after a forced termination
    failed,      // at least one still alive after the forced termination
};
// "notRunning", "quit", "forced", "failed".
QString rawValue(QuitResult result);
// Exactly those four words; none for any other.
std::optional<QuitResult> quitResult(const QString& raw);

// When this app last quit System Settings before opening a page. One object
// on the main thread, made on first use; `restartedAt` is written only there.
class Status : public QObject {
    Q_OBJECT
public:
    static Status& shared();

    // None until the first background restart; then the time of the latest.
    std::optional<QDateTime> restartedAt() const { return restartedAt_; }
    void setRestartedAt(const QDateTime& at);

signals:
    void restartedAtChanged();

private:
    Status() = default;
    std::optional<QDateTime> restartedAt_;
};

// Stores `at` as the epoch of `slug` when it is later than the stored one;
// the epoch never moves back.
void recordIdentityChange(const QString& slug, const QDateTime& at);
// The epoch of `slug`; none when nothing above 0 is stored.
std::optional<QDateTime> epoch(const QString& slug);

// The rule, first clause that applies: no former identifier declared: no; no
// epoch: no; not running: no; no launch date: yes (counts as before the
// change); else yes exactly when it was launched strictly before the epoch.
bool shouldQuit(bool legacyDeclared, const std::optional<QDateTime>& epoch, bool settingsRunning,
                const std::optional<QDateTime>& settingsLaunchedAt);

// Whether opening a page now would first quit System Settings: the rule over
// the running instances, the earliest launch date deciding.
bool wouldQuitNow(const KTWizardProduct& product, Workspace& workspace = Workspace::current());

inline constexpr std::chrono::milliseconds defaultGrace{2500};

// Quits the applications with `bundleID` launched strictly before
// `launchedBefore` (every one when it is none; a missing launch date counts
// as the distant past): the polite request, up to `grace` for all to go,
// then a forced termination of the survivors and up to `grace` again. Polls
// every 0.1 s; blocks the calling thread.
QuitResult quit(const QString& bundleID, const std::optional<QDateTime>& launchedBefore,
                std::chrono::milliseconds grace = defaultGrace, Workspace& workspace = Workspace::current());

// Opens `pane` with the workspace and then calls `then` with whether the
// workspace took the link, on the main thread.
// When `wouldQuitNow` holds and an epoch exists, System Settings is first quit
// on a worker thread and the page opens afterwards, whatever the result, with
// the decision-log line "wizard: System Settings started before this app's
// identity changed; quit it in the background before opening the pane: " and
// the result's raw value; `Status.restartedAt` becomes now after "quit" or
// "forced". Otherwise the page opens and `then` runs before this returns.
void open(const QUrl& pane, const KTWizardProduct& product, std::function<void(bool opened)> then);

// Makes the wizard's configuration record an identity change here (see
// `KTPermissionWizard::onIdentityChange`). The host calls it before it
// configures the wizard.
void installIdentityChangeHook();

}  // namespace rk::KTSystemSettingsRefresh
