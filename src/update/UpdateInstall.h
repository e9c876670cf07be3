#pragma once
// Installing the pending update (UpdateHolds.h) when the person asks for it
// and when the app quits. The install button runs `installPendingNow`: the
// pending update is installed at once, the app relaunching in front; with
// nothing pending it starts an interactive check instead, so the button is
// never a dead end. The app's will-terminate handler runs
// `installPendingOnQuitIfAny` last: the script starts before the process
// ends and swaps once it has; nothing is relaunched.
//
// Every install of a pending update first makes sure its staged bundle is
// still there: a later check may have replaced the staging folder, and an
// install of nothing would quit the app for nothing. Main thread.

#include <QString>

namespace rk::KTUpdate {

void installPendingNow();
void installPendingOnQuitIfAny();

// The staged bundle of the pending update is still on disk. When it is not,
// the pending record is cleared and the reason logged.
bool pendingStillStaged(const QString& staged);

}  // namespace rk::KTUpdate
