#pragma once
// The identity repair's self-test, run by its command line
// ("--permission-repair-legacy --selftest"): the LaunchServices dump parser
// on a fixed sample, the plan rule's three branches, and, where the Mac has
// a register tool, a live pass with a temporary stub app registered under a
// former identifier and found again by identifier and by name. It then runs
// the identity self-test of the wizard's rules (IdentitySelftest.h) and
// prints one verdict line.
//
// Synchronous on the calling thread; blocks for seconds (the stub's
// registration, the decoy app's launch and quits). A live arm that cannot
// run on this machine prints or notes "NOT MEASURED" and is no failure.
// Every temporary bundle is removed again.

namespace rk::KTLegacyIdentityRepair {

// Prints "legacy repair selftest OK (...)" or "legacy repair selftest
// FAILED: " and the failing labels; true when nothing failed.
bool selftest();

}  // namespace rk::KTLegacyIdentityRepair
