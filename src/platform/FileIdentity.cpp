#include "platform/FileIdentity.h"

#include <sys/stat.h>

namespace rk {

std::optional<FileIdentity> FileIdentity::of(const QString& diskPath) {
    struct stat info {};
    if (::stat(diskPath.toLocal8Bit().constData(), &info) != 0)
        return std::nullopt;
#ifdef __APPLE__
    const timespec modified = info.st_mtimespec;
#else
    const timespec modified = info.st_mtim;
#endif
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                        qint64(modified.tv_sec) * 1'000'000'000 + modified.tv_nsec};
}

}  // namespace rk
