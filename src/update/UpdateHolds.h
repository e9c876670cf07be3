#pragma once
// A verified update that is not installed at once: installing means quitting
// and relaunching the app, which would end what the person or the host is
// doing. The check hands such an update to `hold`, which keeps it as the
// pending update (KTUpdate.h); while a live-work or courtesy hold lasts, a
// retry every `liveWorkRetryInterval` seconds installs it once the hold is
// over. The pending update is also installed on request or when the app
// quits (UpdateInstall.h). And the box that asks the person before an
// interactive check installs.
//
// The hooks that hold (`mustNotInstallNow`, `shouldDeferInstall`) and the
// retries run on the update queue; the confirmation box runs on the main
// thread while `confirmInstall` blocks the update queue.

#include <QString>
#include <chrono>

#include "update/UpdateFeed.h"

namespace rk::KTUpdate {

// What a held retry does.
enum class HeldRetry {
    stop,     // nothing pending, or automatic install off: nothing more
    wait,     // still held: try again later
    install,  // install now
};

// How long the confirmation box waits for an answer before it counts as "Later".
inline constexpr std::chrono::milliseconds kConfirmWait = std::chrono::seconds(300);

// `install` when pending and automatic install is on and nothing holds;
// `wait` when something holds; `stop` otherwise.
HeldRetry heldRetry(bool pending, bool autoInstall, bool holds);
// The courtesy hold: false when "KTUpdateSilentWhenActive" is on, else `shouldDeferInstall`.
bool courtesyHolds();

// Keeps `staged` and the feed entry as the pending update, replacing any earlier one.
void hold(const QString& staged, const Appcast& entry);
// Schedules one retry of the held install on the update queue, unless one
// is scheduled already.
void armLiveWorkRetry();
bool isLiveWorkRetryArmed();

// Asks the person whether to install `version` (`build`) now and relaunch;
// no answer within `wait` counts as "Later". Blocks the calling queue, never
// the main thread, which shows the box.
bool confirmInstall(const QString& version, qint64 build, std::chrono::milliseconds wait = kConfirmWait);

}  // namespace rk::KTUpdate
