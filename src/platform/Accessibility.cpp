#include "platform/Accessibility.h"

#include "platform/Seam.h"

namespace rk {

Accessibility& Accessibility::current() {
    return Seam<Accessibility>::current<HostAccessibility>();
}

void Accessibility::setCurrent(Accessibility* accessibility) {
    Seam<Accessibility>::setCurrent(accessibility);
}

}  // namespace rk
