#pragma once
// Whether the program has Full Disk Access, as far as it can tell without
// asking anyone: the person's privacy database opens for reading and then,
// asked only when it does, the newest background-task store file opens too.
// The application model's grants and the permission wizard's probe both ask
// this. Any thread; nothing is kept.

#include "platform/FileProbe.h"
#include "platform/SystemPaths.h"

namespace rk {

struct FullDiskAccess {
    static bool granted(const SystemPaths& paths = SystemPaths::current(),
                        const FileProbe& probe = FileProbe::current());
};

}  // namespace rk
