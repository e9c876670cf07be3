#pragma once
// The self-test's readers area: whether a program is there (real paths and
// Apple's own apps), the Login Items store reader on the synthetic stores and
// on garbage, the redaction of the account's short name, the test-build
// names, and that the app declares no former bundle identity, so the
// permission wizard's privacy reset can never run.

#include <QString>
#include <functional>
#include <optional>

#include "cli/SelfTestChecks.h"

namespace rk {

struct SelfTestReaders {
    // Checks 49 to 59, in order. `configureWizard` declares the app to the
    // permission wizard without writing its record (the shell's declaration
    // lives above this layer).
    static void run(SelfTestChecks& checks, const std::function<void()>& configureWizard);

    // Whether `redacted` keeps the short name out of what leaves the Mac.
    // The replacement word "user" is taken out first: an account named
    // "user" or "ser" is otherwise found in the word put in its place.
    static bool hidesName(const QString& shortName, const std::optional<QString>& redacted);
};

}  // namespace rk
