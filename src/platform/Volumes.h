#pragma once
// Flags of a mounted volume under /Volumes: whether it is read-only and
// whether it is internal. A mounted disk image is read-only and not internal.
// Linux has no reliable "internal" flag, so the host answers it as unknown.

#include <QString>
#include <optional>

#include "platform/SystemPaths.h"

namespace rk {

struct VolumeFlags {
    std::optional<bool> readOnly;  // none: unknown
    std::optional<bool> internal;  // none: unknown
    friend bool operator==(const VolumeFlags&, const VolumeFlags&) = default;
};

class Volumes {
public:
    virtual ~Volumes() = default;

    // Flags of the volume mounted at the logical folder `volumeFolder` (e.g.
    // "/Volumes/Backup"); none when they cannot be read. `paths` maps it to disk.
    virtual std::optional<VolumeFlags> flags(const QString& volumeFolder, const SystemPaths& paths) const = 0;

    static Volumes& current();
    static void setCurrent(Volumes* volumes);  // nullptr restores the host one
};

// statvfs(3) for read-only; internal is unknown.
class HostVolumes : public Volumes {
public:
    std::optional<VolumeFlags> flags(const QString& volumeFolder, const SystemPaths& paths) const override;
};

}  // namespace rk
