#pragma once
// The self-test's Move-In area: the checklist rules judge hand-built rows in
// inert environments (a privacy database given as rows, file dates and tool
// output given as answers), and the checklist file reads as it should. A
// move at 1000 seconds after 1970, a migrated file from before it and a
// fresh one from after it are the dates used throughout. Nothing on the
// machine is read.

#include "cli/SelfTestChecks.h"

namespace rk {

struct SelfTestMoveIn {
    // Checks 11 to 30, in order.
    static void run(SelfTestChecks& checks);
};

}  // namespace rk
