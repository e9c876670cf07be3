#pragma once
// What parts of the updater keep to themselves for the life of the process,
// each put back by the file that owns it. `resetProcessState` (KTUpdate.h)
// calls them all, in one place, with the public state.

namespace rk::KTUpdate::state {

// No check in flight; the notice about an undeclared live-work hook not yet written.
void resetCheck();
// No retry of a held install armed.
void resetHolds();
// No fallback private folder made yet.
void resetStaging();
// No swap started in this process; the script's wait as it is by default.
void resetSwap();

}  // namespace rk::KTUpdate::state
