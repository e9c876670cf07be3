#include "platform/AppRegistry.h"

#include "platform/Seam.h"

namespace rk {

AppRegistry& AppRegistry::current() {
    return Seam<AppRegistry>::current<HostAppRegistry>();
}

void AppRegistry::setCurrent(AppRegistry* registry) {
    Seam<AppRegistry>::setCurrent(registry);
}

}  // namespace rk
