#include "platform/FileProbe.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
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

}  // namespace rk
