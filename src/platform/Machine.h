#pragma once
// Running the Mac's command-line tools: the program's one tool runner. Every
// run has a time limit and reads the tool's output while it runs: a tool that
// writes more than a pipe holds to a channel nobody reads would otherwise
// block forever, and so would its caller. A tool is always started directly
// from its path and an argument vector, never through a shell.
//
// Two ways to take the answer:
// - `run`: standard output and error apart, the tool killed at the limit
//   (the Move-In checks, the Mac's model);
// - `runMerged`: both channels on one pipe in the order written, the tool
//   asked to stop at the limit (the identity repair and the updater, whose
//   tools clean up when asked).
// And one way to start a program that outlives the program: `startDetached`
// (the updater's swap script, which waits for the app to quit).
// Both block the calling thread, are safe to call from any thread at once and
// never throw. The machine is a seam: tests put one in place with
// `setCurrent` and keep it alive until they restore the host's.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

#include "platform/Result.h"

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

// A run with both output channels on one pipe.
struct ToolResult {
    // The exit status; the signal's number when a signal ended the tool; -1
    // when it could not be started.
    int status = -1;
    // Everything it wrote on both channels, in order, read as UTF-8; "" when
    // the bytes are not valid UTF-8. When it could not start: why not.
    QString out;
    // It was still running at the limit and had to be stopped.
    bool timedOut = false;

    // Ran to its end by itself and answered 0.
    bool ok() const { return status == 0 && !timedOut; }

    friend bool operator==(const ToolResult&, const ToolResult&) = default;
};

class Machine {
public:
    virtual ~Machine() = default;

    // Separate channels; killed (SIGKILL) at `limit`.
    virtual ToolRun run(const QString& program, const QStringList& arguments,
                        std::chrono::milliseconds limit) = 0;

    // One pipe for both channels. At `limit` the tool gets SIGTERM; one still
    // running `stopGrace` later gets SIGKILL. Either way it is reaped before
    // this returns, and output written after that by a descendant that kept
    // the pipe open is not waited for. A machine that runs no tools answers
    // status -1 with the reason.
    virtual ToolResult runMerged(const QString& program, const QStringList& arguments,
                                 std::chrono::milliseconds limit);

    // Starts `program` in a session of its own, not as a child of this
    // process, so that it lives on after this process ends and no terminal
    // signal of ours reaches it. Its output and error channels go to the null
    // device; its input is this process's. Returns at once with its process
    // id, or why it could not start. A machine that runs no tools refuses.
    virtual Result<qint64, QString> startDetached(const QString& program, const QStringList& arguments);

    static constexpr std::chrono::milliseconds stopGrace{2000};

    // The process-wide machine; nullptr restores the host one.
    static Machine& current();
    static void setCurrent(Machine* machine);
};

// Runs real processes on this computer.
class HostMachine final : public Machine {
public:
    ToolRun run(const QString& program, const QStringList& arguments,
                std::chrono::milliseconds limit) override;
    ToolResult runMerged(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds limit) override;
    Result<qint64, QString> startDetached(const QString& program, const QStringList& arguments) override;
};

}  // namespace rk
