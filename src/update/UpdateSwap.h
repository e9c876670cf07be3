#pragma once
// Replacing the installed bundle with a verified staged one. A running app
// cannot replace its own bundle, so `swapAndRelaunch` writes the swap script
// (UpdateSwapScript.h), starts it through the one shell in a session of its
// own, so that it outlives the app, and asks the app to quit when a relaunch
// is wanted; the script waits for the app's process to go and does the rest.
// Also the rule for where an installed copy may be replaced at all, which
// every install and the start of the updater check first.
//
// Callers: the check's install (update queue), the held retry (update
// queue), the install on request (update queue) and the install on quit
// (main thread). One script per process: a second call starts none.

#include <QDir>
#include <QString>
#include <QStringList>

#include "platform/Result.h"
#include "update/UpdateSwapScript.h"

namespace rk::KTUpdate {

// How many times, 0.3 s apart, the script looks whether the app has quit
// before it gives up (`kSwapWaitPolls`: 180 s). Set before an install; tests
// shorten it.
extern int swapWaitPolls;

// Whether an update may replace the bundle at `bundlePath`: a path ending in
// ".app" whose folder (links resolved, case ignored) lies in /Applications
// or `home`/Applications or below, and not inside another bundle.
bool installsInPlace(const QString& bundlePath, const QString& home = QDir::homePath());
// The rule above against fixed lists of places that must and must not be
// installable, with "/Users/someone" as home; one line per disagreement.
QStringList locationSelftest();

// Starts the script that swaps the bundle at `targetPath()` for `staged`
// once the app has quit, then, unless `relaunch` is none, asks the app to
// quit (on the main thread). Returns once the script has started. Refused
// when the target is no bundle, not installable, or a renamed update's new
// name is taken. A second call in the same process starts no script: it
// asks the app to quit again when the first script runs, and reports that
// the first could not start when it did not, without asking the app to quit.
Result<Unit, QString> swapAndRelaunch(const QString& staged, Relaunch relaunch);

}  // namespace rk::KTUpdate
