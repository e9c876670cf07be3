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

Result<QByteArray, int> readWholeFile(const QString& diskPath, qint64 cap) {
    const int fd = ::open(QFile::encodeName(diskPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    QFile file;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(EINVAL);
    }
    if (info.st_size > cap)
        return fail(EFBIG);
    QByteArray bytes = file.read(info.st_size);
    if (file.error() != QFileDevice::NoError)
        return fail(EIO);
    return bytes;
}

}  // namespace rk
