#include "platform/FileProbe.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/Seam.h"

namespace rk {

FileProbe& FileProbe::current() {
    return Seam<FileProbe>::current<HostFileProbe>();
}

void FileProbe::setCurrent(FileProbe* probe) {
    Seam<FileProbe>::setCurrent(probe);
}

int HostFileProbe::openForReading(const QString& diskPath) const {
    const QByteArray path = diskPath.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

Result<QStringList, int> HostFileProbe::listFolder(const QString& diskPath) const {
    const QByteArray path = diskPath.toLocal8Bit();
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return fail(errno);
    QStringList names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry)
            break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.append(QString::fromLocal8Bit(entry->d_name));
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        return fail(error);
    return names;
}

namespace {

// A descriptor of the regular file at `diskPath`, opened without blocking,
// and its size; the checks and errors of readWholeFile.
struct RegularFile {
    int fd = -1;
    qint64 size = 0;
};

Result<RegularFile, int> openRegularFile(const QString& diskPath, qint64 cap) {
    const int fd = ::open(QFile::encodeName(diskPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    struct stat info {};
    const int error = ::fstat(fd, &info) != 0  ? errno
                      : !S_ISREG(info.st_mode) ? EINVAL
                      : info.st_size > cap     ? EFBIG
                                               : 0;
    if (error != 0) {
        ::close(fd);
        return fail(error);
    }
    return RegularFile{fd, qint64(info.st_size)};
}

}  // namespace

Result<QByteArray, int> readWholeFile(const QString& diskPath, qint64 cap) {
    const auto regular = openRegularFile(diskPath, cap);
    if (!regular)
        return fail(regular.error());
    QFile file;
    if (!file.open(regular->fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(regular->fd);
        return fail(EIO);
    }
    QByteArray bytes = file.read(regular->size);
    if (file.error() != QFileDevice::NoError)
        return fail(EIO);
    return bytes;
}

Result<Unit, int> checkRegularFile(const QString& diskPath, qint64 cap) {
    const auto regular = openRegularFile(diskPath, cap);
    if (!regular)
        return fail(regular.error());
    ::close(regular->fd);
    return Unit{};
}

namespace {

// Links followed before a path is taken for a loop.
constexpr int kMaxLinks = 40;

// The path a write to `diskPath` lands on: the path itself, or the end of
// the links standing there when that is a regular or missing file in a
// folder only the runner may write. Makes the path's own folder.
Result<QString, QString> placeToWrite(const QString& diskPath) {
    if (!QDir().mkpath(QFileInfo(diskPath).absolutePath()))
        return fail(QString("its folder could not be made"));
    QString place = diskPath;
    bool linked = false;
    struct stat info {};
    for (int links = 0;; ++links) {
        if (::lstat(QFile::encodeName(place).constData(), &info) != 0) {
            if (errno != ENOENT)
                return fail(errnoText(errno));
            info.st_mode = 0;  // missing: it is made
            break;
        }
        if (!S_ISLNK(info.st_mode))
            break;
        if (links == kMaxLinks)
            return fail(QString("too many links lead on from it"));
        linked = true;
        place = QFileInfo(place).symLinkTarget();
    }
    if (info.st_mode != 0 && !S_ISREG(info.st_mode))
        return fail(QString("it is no regular file"));
    if (linked) {
        struct stat folder {};
        if (::stat(QFile::encodeName(QFileInfo(place).absolutePath()).constData(), &folder) != 0)
            return fail(QString("it is a link to a missing folder"));
        if (folder.st_uid != ::geteuid() || (folder.st_mode & (S_IWGRP | S_IWOTH)))
            return fail(QString("it is a link into a folder others may write"));
    }
    return place;
}

}  // namespace

Result<Unit, QString> writeWholeFile(const QString& diskPath, const QByteArray& bytes) {
    const auto place = placeToWrite(diskPath);
    if (!place)
        return fail(place.error());
    QSaveFile file(*place);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return fail(file.errorString());
    }
    if (!file.commit())
        return fail(file.errorString());
    return Unit{};
}

Result<Unit, QString> appendToFile(const QString& diskPath, const QByteArray& bytes) {
    const auto place = placeToWrite(diskPath);
    if (!place)
        return fail(place.error());
    const int fd = ::open(QFile::encodeName(*place).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(errnoText(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(QString("it is no regular file"));
    }
    const int error = writeAll(fd, bytes);
    ::close(fd);
    if (error != 0)
        return fail(errnoText(error));
    return Unit{};
}

Result<Unit, int> writeNewFile(const QString& diskPath, const QByteArray& bytes) {
    // A folder that cannot be made shows in the open's errno.
    QDir().mkpath(QFileInfo(diskPath).absolutePath());
    const QByteArray path = QFile::encodeName(diskPath);
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno);
    int error = writeAll(fd, bytes);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(path.constData());
        return fail(error);
    }
    return Unit{};
}

int writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace rk
