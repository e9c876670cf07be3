#pragma once
// "--settings-unchanged-check": proves on the Mac that what the program does
// to System Settings (opening its pages, selecting rows through the one
// Accessibility write) changes nothing in the two stores it reads. It reads
// both stores, opens every page and selects up to twelve rows on each, reads
// the stores again and compares, and ends with a PASS, FAIL or NOT MEASURED
// line. Everything runs on the main thread; every wait goes through the pump
// (3.5 s per page, 0.4 s per selection, 2 s at the end). The process entry
// exits with the status `run` returns.

#include <QStringList>
#include <optional>

#include "cli/Pump.h"
#include "finder/BackgroundStore.h"
#include "finder/TCCStore.h"

namespace rk {

struct UnchangedCheck {
    static constexpr int passStatus = 0;
    static constexpr int failStatus = 1;
    static constexpr int notMeasuredStatus = 3;
    static constexpr int maxSelectionsPerPage = 12;
    static constexpr double pageWait = 3.5;
    static constexpr double selectionWait = 0.4;
    static constexpr double endWait = 2.0;

    // What the stores hold, one key per row or record, each list sorted.
    struct State {
        QStringList tcc;  // every privacy row of both databases
        QStringList btm;  // every background-task record, of every user
        friend bool operator==(const State&, const State&) = default;
    };

    // "user|service|client|authValue": two rows that differ only in what the
    // key leaves out (such as the client type) give the same key.
    static QString key(const TCCRow& row);
    // "user key|identifier (or name)|disposition".
    static QString key(const BTMRecord& record);

    // Both stores now; none when either cannot be read.
    static std::optional<State> state();
    // The keys that one state has more of than the other, on either side:
    // a key once per extra occurrence, privacy keys and record keys
    // together, sorted. Empty exactly when the states are equal.
    static QStringList changedKeys(const State& before, const State& after);

    // Waits through `wait`, which defaults to pump().
    static int run(const Pump& wait = pump);
    // Runs the current thread's event loop for `seconds`: the real wait.
    static void pump(double seconds);
};

}  // namespace rk
