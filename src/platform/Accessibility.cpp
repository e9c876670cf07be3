#include "platform/Accessibility.h"

#include <atomic>

namespace rk {

namespace {
HostAccessibility& host() {
    static HostAccessibility accessibility;
    return accessibility;
}

// Read from the Accessibility worker thread as well as the main thread.
std::atomic<Accessibility*>& installed() {
    static std::atomic<Accessibility*> current{nullptr};
    return current;
}
}  // namespace

Accessibility& Accessibility::current() {
    Accessibility* accessibility = installed().load();
    return accessibility ? *accessibility : host();
}

void Accessibility::setCurrent(Accessibility* accessibility) {
    installed().store(accessibility);
}

}  // namespace rk
