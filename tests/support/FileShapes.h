#pragma once
// What anyone may leave where a reader expects a file, folders of the
// runner's and of others, and a guard that keeps a reader or writer waiting
// on a pipe from hanging the test program.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QStringList>
#include <functional>
#include <future>
#include <vector>

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

// A folder at `path` (made when missing) with `mode`, given to `owner`; its
// path, or empty when it could not be. Only root may give one away.
inline QString folderOf(const QString& path, mode_t mode, uid_t owner = ::geteuid()) {
    const QByteArray name = QFile::encodeName(path);
    return QDir().mkpath(path) && ::chmod(name.constData(), mode) == 0 &&
                   (owner == ::geteuid() || ::chown(name.constData(), owner, gid_t(-1)) == 0)
               ? path
               : QString();
}

// A folder of another account that others may not write: `path` given to
// nobody when the tests run as root, else "/", which is root's.
inline QString othersFolder(const QString& path) {
    return ::geteuid() == 0 ? folderOf(path, 0755, 65534) : QString("/");
}

// Runs `work` on a thread of its own. When it is still running after a
// minute it waits on one of `pipes`: they are opened for writing and closed,
// and opened for reading and kept open, until it goes on, and the answer is
// false.
inline bool finishesWithoutWaitingOn(const QStringList& pipes, const std::function<void()>& work) {
    std::future<void> done = std::async(std::launch::async, work);
    const bool inTime = done.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    std::vector<int> readers;
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        for (const QString& pipe : pipes) {
            const QByteArray name = QFile::encodeName(pipe);
            ::close(::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
            readers.push_back(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        }
    }
    for (const int fd : readers)
        ::close(fd);
    return inTime;
}

}  // namespace rk::test
