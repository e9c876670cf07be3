// A launchd job file in the person's LaunchAgents folder.
#include "FuzzInput.h"
#include "finder/LaunchdScan.h"

void fuzz(const QByteArray& input) {
    rk::LaunchdScan::job(input, "/Users/anna/Library/LaunchAgents/x.plist", "you");
}
