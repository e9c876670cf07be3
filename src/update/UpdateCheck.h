#pragma once
// The updater's control flow. The host calls `start` once at launch: it
// judges whether the last swap took and arms the automatic checks, 20 s
// later and then every `checkInterval`. `checkNow` is the one way into a
// check, for the timers, the update menu and settings (a person asking:
// interactive) and the install on request. A check reads the feed, decides,
// and reports, holds, or downloads and installs; each way it ends gives one
// status message, and an interactive check also answers with a message box
// where the outcome is worth telling.
//
// The updater stays off (start arms nothing) without an app key or feed
// base, with KT_UPDATE_OFF=1 in the environment, for a copy that is not an
// app bundle (a Linux build as built) and for one outside /Applications and
// ~/Applications. `checkNow` refuses on its own for the same reasons, but
// not for KT_UPDATE_OFF.
//
// An updater that is off says so: its status line, in the menu and the
// settings, reads "Updates: off · " and why (`offStatusLine`), and a check
// asked for while it is off answers with that status.
//
// `start` and `checkNow` run on the main thread; the check itself runs on
// the update queue and blocks it for the feed, the download and the
// confirmation box. One check at a time.

#include <QString>
#include <chrono>
#include <optional>

namespace rk::KTUpdate {

// When the first automatic check follows `start`.
inline constexpr std::chrono::milliseconds kFirstCheckDelay = std::chrono::seconds(20);

// Once, on the main thread, after the configuration is set.
void start(std::chrono::milliseconds firstCheck = kFirstCheckDelay);
// Starts a check unless one is running; returns at once.
void checkNow(bool interactive);
// An automatic check when automatic checks are on and the last one is at
// least `olderThan` seconds old.
void checkIfStale(double olderThan = 600);
// A check is running.
bool isChecking();

// Why this process's updater can never check, in plain words: "no update
// feed in this build" without a feed base, "not running from an installed
// app" for a copy outside /Applications and ~/Applications or in no bundle;
// none when it can. (An empty app key does not count: the host sets it when
// it starts the updater, after it has built the views that ask.)
std::optional<QString> offReason();
// "Updates: off · <reason>" while the updater is off; none otherwise.
std::optional<QString> offStatusLine();

}  // namespace rk::KTUpdate
