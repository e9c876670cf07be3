#include "platform/FileProbe.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QFile>

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

}  // namespace rk
