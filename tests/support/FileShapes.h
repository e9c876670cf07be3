#pragma once
// What anyone may leave where a reader expects a file, and a guard that
// keeps a reader that waits on a pipe from hanging the test program.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace rk::test {

enum class FileShape { pipe, linkToZeros, folder };

// Puts `shape` at `path` (its folder made when missing); false when it could not.
inline bool plant(FileShape shape, const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    const QByteArray name = QFile::encodeName(path);
    switch (shape) {
        case FileShape::pipe:
            return ::mkfifo(name.constData(), 0600) == 0;
        case FileShape::linkToZeros:
            return ::symlink("/dev/zero", name.constData()) == 0;
        case FileShape::folder:
            return QDir().mkdir(path);
    }
    return false;
}

// Runs `work` on a thread of its own. When it is still running after a
// minute it waits on one of `pipes`: they are opened for writing and closed
// until it goes on, and the answer is false.
inline bool finishesWithoutWaitingOn(const QStringList& pipes, const std::function<void()>& work) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    const bool inTime = done.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        for (const QString& pipe : pipes) {
            const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
        }
    }
    thread.join();
    return inTime;
}

}  // namespace rk::test
