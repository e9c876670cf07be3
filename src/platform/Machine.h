#pragma once
// Running the Mac's command-line tools. A tool is always run with a time
// limit and with both of its output channels read while it runs: a tool that
// writes more than a pipe holds to the channel nobody reads would otherwise
// block forever, and so would its caller.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

namespace rk {

struct ToolRun {
    enum class Outcome {
        finished,    // the tool ran to its end (whatever its exit status)
        notStarted,  // missing, not executable, or the system refused
        timedOut,    // still running at the limit; it was killed
    };
    Outcome outcome = Outcome::notStarted;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    bool finished() const { return outcome == Outcome::finished; }
};

class Machine {
public:
    virtual ~Machine() = default;

    // Blocks the calling thread until the tool ends or `limit` has passed.
    // Safe to call from any thread; never throws.
    virtual ToolRun run(const QString& program, const QStringList& arguments,
                        std::chrono::milliseconds limit) = 0;

    // The process-wide machine; nullptr restores the host one.
    static Machine& current();
    static void setCurrent(Machine* machine);
};

// Runs real processes on this computer.
class HostMachine final : public Machine {
public:
    ToolRun run(const QString& program, const QStringList& arguments,
                std::chrono::milliseconds limit) override;
};

}  // namespace rk
