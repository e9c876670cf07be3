#include "platform/Volumes.h"

#include <sys/statvfs.h>

#include "platform/Seam.h"

namespace rk {

Volumes& Volumes::current() {
    return Seam<Volumes>::current<HostVolumes>();
}

void Volumes::setCurrent(Volumes* volumes) {
    Seam<Volumes>::setCurrent(volumes);
}

std::optional<VolumeFlags> HostVolumes::flags(const QString& volumeFolder, const SystemPaths& paths) const {
    struct statvfs info {};
    const QByteArray disk = paths.disk(volumeFolder).toLocal8Bit();
    if (::statvfs(disk.constData(), &info) != 0)
        return std::nullopt;
    VolumeFlags flags;
    flags.readOnly = (info.f_flag & ST_RDONLY) != 0;
    // Linux offers no dependable notion of an internal drive.
    flags.internal = std::nullopt;
    return flags;
}

}  // namespace rk
