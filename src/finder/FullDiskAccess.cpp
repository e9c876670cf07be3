#include "finder/FullDiskAccess.h"

#include "finder/BackgroundStore.h"
#include "finder/TCCStore.h"

namespace rk {

bool FullDiskAccess::granted(const SystemPaths& paths, const FileProbe& probe) {
    return TCCStore::canRead(paths, probe) && BackgroundStore::canRead(paths, probe);
}

}  // namespace rk
