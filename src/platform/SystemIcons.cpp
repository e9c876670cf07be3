#include "platform/SystemIcons.h"

#include "platform/Seam.h"

namespace rk {

SystemIcons& SystemIcons::current() {
    return Seam<SystemIcons>::current<HostSystemIcons>();
}

void SystemIcons::setCurrent(SystemIcons* icons) {
    Seam<SystemIcons>::setCurrent(icons);
}

}  // namespace rk
