#pragma once
// The identity repair's command line: for the configured product it shows
// what the repair would do without changing anything ("--dry-run"), carries
// it out ("--apply") or runs the repair's self-tests ("--selftest"). A host
// that offers the mode tests its arguments for `cliFlag` after it has
// configured the permission wizard and exits with what `runCLI` returns.
// This app's entry does not offer it; the wizard still counts the flag among
// its command-line questions, so such a process writes no wizard state.
//
// Prints plain lines to standard output; runs on the calling (main) thread
// and may take the 90 seconds of the LaunchServices dump plus the actions.

#include <QString>
#include <QStringList>

namespace rk::KTLegacyIdentityRepair {

inline constexpr char cliFlag[] = "--permission-repair-legacy";

// 0 when a dry run or an apply ran to its end or the self-tests passed; 1
// when the self-tests failed; 2 when the run is not measured (no bundle
// identifier, the wizard not configured) or the options are wrong. What the
// actions achieved does not change the status. `arguments` include the
// program path.
int runCLI(const QStringList& arguments);

}  // namespace rk::KTLegacyIdentityRepair
