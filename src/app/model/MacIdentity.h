#pragma once
// The Mac's model line for the footer and the Mac badge, from the hardware
// profiler: "MacBook Air (Apple M2) · Mac14,2". Empty when the profiler is
// missing (as on Linux), fails, is too slow or says something unexpected.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>

#include "platform/Machine.h"
#include "platform/SystemPaths.h"

namespace rk {

struct MacIdentity {
    // The profiler normally answers within a second or two; one that hangs
    // must not hold the background task that asked forever.
    static constexpr std::chrono::milliseconds toolLimit{10'000};

    // Blocking: runs the profiler. Call it off the main thread.
    static QString model(Machine& machine = Machine::current(),
                         const SystemPaths& paths = SystemPaths::current());

    // The model line from the profiler's JSON output; "" when the output is
    // not the expected shape.
    static QString fromProfile(const QByteArray& json);
};

}  // namespace rk
