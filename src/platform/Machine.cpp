#include "platform/Machine.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringDecoder>
#include <algorithm>
#include <climits>

#include "platform/Seam.h"

namespace rk {

namespace {

// How long a killed tool gets to disappear before we stop waiting for it.
constexpr int kReapMs = 2000;

int remainingMs(const QElapsedTimer& since, std::chrono::milliseconds limit) {
    const qint64 left = limit.count() - since.elapsed();
    return left > 0 ? static_cast<int>(std::min<qint64>(left, INT_MAX)) : 0;
}

int asMs(std::chrono::milliseconds span) {
    return static_cast<int>(std::clamp<qint64>(span.count(), 0, INT_MAX));
}

// Starts `process` and waits until it ends or `limit` has passed, handing
// what it writes to `take` as it comes, so that no pipe fills up and stalls
// the tool. False when it did not start (it is then reaped already).
template <class Take>
bool startAndWait(QProcess& process, const QString& program, const QStringList& arguments,
                  std::chrono::milliseconds limit, Take take) {
    QElapsedTimer clock;
    clock.start();
    process.setInputChannelMode(QProcess::ManagedInputChannel);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(std::max(1, remainingMs(clock, limit)))) {
        process.kill();
        process.waitForFinished(kReapMs);
        return false;
    }
    while (process.state() != QProcess::NotRunning) {
        const int left = remainingMs(clock, limit);
        if (left == 0)
            break;
        process.waitForFinished(left);
        take();
    }
    return true;
}

QString utf8OrEmpty(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString() : text;
}

}  // namespace

Machine& Machine::current() {
    return Seam<Machine>::current<HostMachine>();
}

void Machine::setCurrent(Machine* machine) {
    Seam<Machine>::setCurrent(machine);
}

ToolResult Machine::runMerged(const QString& program, const QStringList&, std::chrono::milliseconds) {
    return ToolResult{.status = -1, .out = "this machine runs no tools (" + program + ")"};
}

Result<qint64, QString> Machine::startDetached(const QString& program, const QStringList&) {
    return fail("this machine runs no tools (" + program + ")");
}

ToolRun HostMachine::run(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds limit) {
    ToolRun result;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const auto take = [&] {
        result.out += process.readAllStandardOutput();
        result.err += process.readAllStandardError();
    };
    if (!startAndWait(process, program, arguments, limit, take))
        return result;  // notStarted

    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(kReapMs);
        result.outcome = ToolRun::Outcome::timedOut;
    } else {
        result.outcome = ToolRun::Outcome::finished;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    take();
    return result;
}

ToolResult HostMachine::runMerged(const QString& program, const QStringList& arguments,
                                  std::chrono::milliseconds limit) {
    ToolResult result;
    QByteArray bytes;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const auto take = [&] { bytes += process.readAll(); };
    if (!startAndWait(process, program, arguments, limit, take)) {
        result.out = process.errorString();
        return result;
    }

    if (process.state() != QProcess::NotRunning) {
        result.timedOut = true;
        process.terminate();
        if (!process.waitForFinished(asMs(stopGrace))) {
            process.kill();
            process.waitForFinished(kReapMs);
        }
    }
    take();
    // On a crash Qt's exit code is the number of the signal that ended it.
    result.status = process.state() == QProcess::NotRunning ? process.exitCode() : -1;
    result.out = utf8OrEmpty(bytes);
    return result;
}

// Qt starts a detached program through an intermediate child that makes a
// new session and exits at once, so the program is adopted by init (never
// left as our zombie) and is no session leader that could take a terminal.
Result<qint64, QString> HostMachine::startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        return fail(process.errorString());
    return pid;
}

}  // namespace rk
