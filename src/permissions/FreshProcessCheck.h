#pragma once
// macOS can hold a privacy grant that the running process does not see until
// it starts again. The fresh-process check asks a newly started copy of the
// app ("--permission-check") which permissions it holds. It blocks its caller
// for up to the time limit, so it runs off the main thread.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>

#include "permissions/Permission.h"

namespace rk {

struct KTFreshProcessCheck {
    static constexpr std::chrono::milliseconds timeLimit{4000};
    static constexpr std::chrono::milliseconds pollInterval{50};
    // Keeps the end of a runaway child's output, which holds the answer.
    static constexpr qsizetype outputLimit = 1 << 20;

    // Runs `executable` with the single argument "--permission-check",
    // standard error to the null device. A child still running at the limit is
    // killed and reaped, and gives no answer.
    static std::optional<KTGrantMap> ask(const QString& executable,
                                         std::chrono::milliseconds limit = timeLimit,
                                         std::chrono::milliseconds poll = pollInterval);

    // The last line beginning with "{", when it is a JSON object of booleans.
    static std::optional<KTGrantMap> parseAnswer(const QByteArray& output);
};

}  // namespace rk
