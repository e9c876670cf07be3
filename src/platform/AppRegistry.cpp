#include "platform/AppRegistry.h"

namespace rk {

namespace {
AppRegistry*& installed() {
    static AppRegistry* registry = nullptr;
    return registry;
}
}  // namespace

AppRegistry& AppRegistry::current() {
    static HostAppRegistry host;
    AppRegistry* registry = installed();
    return registry ? *registry : host;
}

void AppRegistry::setCurrent(AppRegistry* registry) {
    installed() = registry;
}

}  // namespace rk
