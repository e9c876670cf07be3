#pragma once
// The command-line self-test ("--selftest"): a fixed battery of 59 labelled
// checks of the program's own rules and readers, one "pass: " or "FAIL: "
// line each, then two informational "live:" lines about the Mac's privacy
// database and Login Items store, then the verdict "SELFTEST PASS" or
// "SELFTEST FAIL (n)".
//
// It needs no window, no permission and no network: the checks work on
// made-up inputs, a temporary folder tree and synthetic store archives; only
// the presence checks look at real paths, one check at the account's short
// name, and the live lines at the real stores, which never fail the run.
//
// The process entry runs it on the main thread before any event loop, once
// per process.

#include <QString>
#include <QTextStream>
#include <functional>

namespace rk {

struct SelfTest {
    // The checks in order, the live lines and the verdict, to `out`; 0 when
    // every check passed, else 1. `configureWizard` declares the app to the
    // permission wizard without writing state (the shell's declaration).
    static int run(QTextStream& out, const std::function<void()>& configureWizard);
    // The same to standard output.
    static int run(const std::function<void()>& configureWizard);

    // "SELFTEST PASS", or "SELFTEST FAIL (" + failures + ")".
    static QString verdict(int failures);
};

}  // namespace rk
