#pragma once
// The self-test's first area: the one write the program may make to System
// Settings (selecting a row of it, through `AXWrite::select`) refuses a
// button, a switch and another application's row, and writes a real row
// exactly once; and the app's own links open the right page or none. A
// stand-in element counts the writes; nothing touches the machine.

#include "cli/SelfTestChecks.h"

namespace rk {

struct SelfTestGate {
    // Checks 1 to 10, in order.
    static void run(SelfTestChecks& checks);
};

}  // namespace rk
