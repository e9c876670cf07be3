#pragma once
// One run of the self-test's checks: each check prints exactly one line,
// "pass: " or "FAIL: " and its label, and a failed one is counted; nothing
// ever stops the run. The areas of the battery (SelfTestGate, SelfTestMoveIn,
// SelfTestFiles, SelfTestDecide, SelfTestReaders) each add their checks in
// order through one of these; `SelfTest::run` owns it.
//
// Labels begin with the area and "control" (a clean case the rule must get
// right) or "decoy" (a look-alike the rule must not fall for).
//
// Main thread only; the stream belongs to the caller and outlives the run.

#include <QString>
#include <QTextStream>

namespace rk {

class SelfTestChecks {
public:
    explicit SelfTestChecks(QTextStream& out) : out_(out) {}

    // Prints "pass: " + label when ok, else "FAIL: " + label and counts it.
    void check(bool ok, const QString& label);

    // Failed checks so far.
    int failures() const { return failures_; }
    // Where the lines go, for the few that are not checks of their own.
    QTextStream& out() { return out_; }

private:
    QTextStream& out_;
    int failures_ = 0;
};

}  // namespace rk
