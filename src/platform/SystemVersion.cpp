#include "platform/SystemVersion.h"

#include "platform/Seam.h"

namespace rk {

SystemVersion& SystemVersion::current() {
    return Seam<SystemVersion>::current<HostSystemVersion>();
}

void SystemVersion::setCurrent(SystemVersion* version) {
    Seam<SystemVersion>::setCurrent(version);
}

}  // namespace rk
