#pragma once
// What anyone may leave where a reader expects a file, and a guard that
// keeps a reader waiting on a pipe from hanging the test program.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QStringList>
#include <functional>
#include <future>

namespace rk::test {

enum class FileShape { pipe, linkToZeros, folder, holes };

// Puts `shape` at `path`, its folder made when missing (`holes`: a file of
// `size` bytes that take no room); false when it could not.
inline bool plant(FileShape shape, const QString& path, qint64 size = 0) {
    QDir().mkpath(QFileInfo(path).path());
    const QByteArray name = QFile::encodeName(path);
    return shape == FileShape::pipe          ? ::mkfifo(name.constData(), 0600) == 0
           : shape == FileShape::linkToZeros ? ::symlink("/dev/zero", name.constData()) == 0
           : shape == FileShape::folder      ? QDir().mkdir(path)
                                        : QFile(path).open(QIODevice::WriteOnly) && QFile::resize(path, size);
}

// Runs `work` on a thread of its own. When it is still running after a
// minute it waits on one of `pipes`: they are opened for writing and closed
// until it goes on, and the answer is false.
inline bool finishesWithoutWaitingOn(const QStringList& pipes, const std::function<void()>& work) {
    std::future<void> done = std::async(std::launch::async, work);
    const bool inTime = done.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        for (const QString& pipe : pipes)
            ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    }
    return inTime;
}

}  // namespace rk::test
