#include "platform/Machine.h"

#include <QElapsedTimer>
#include <QProcess>
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

}  // namespace

Machine& Machine::current() {
    return Seam<Machine>::current<HostMachine>();
}

void Machine::setCurrent(Machine* machine) {
    Seam<Machine>::setCurrent(machine);
}

ToolRun HostMachine::run(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds limit) {
    ToolRun result;
    QElapsedTimer clock;
    clock.start();

    QProcess process;
    // Separate channels, both buffered by QProcess as data arrives during
    // the waits below: neither pipe can fill up and stall the tool.
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setInputChannelMode(QProcess::ManagedInputChannel);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(std::max(1, remainingMs(clock, limit)))) {
        process.kill();
        process.waitForFinished(kReapMs);
        return result;  // notStarted
    }

    while (process.state() != QProcess::NotRunning) {
        const int left = remainingMs(clock, limit);
        if (left == 0)
            break;
        process.waitForFinished(left);
        result.out += process.readAllStandardOutput();
        result.err += process.readAllStandardError();
    }

    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(kReapMs);
        result.outcome = ToolRun::Outcome::timedOut;
    } else {
        result.outcome = ToolRun::Outcome::finished;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    result.out += process.readAllStandardOutput();
    result.err += process.readAllStandardError();
    return result;
}

}  // namespace rk
