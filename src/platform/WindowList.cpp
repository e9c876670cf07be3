#include "platform/WindowList.h"

#include <atomic>

namespace rk {

namespace {
HostWindowList& host() {
    static HostWindowList list;
    return list;
}

std::atomic<WindowList*>& installed() {
    static std::atomic<WindowList*> current{nullptr};
    return current;
}
}  // namespace

WindowList& WindowList::current() {
    WindowList* list = installed().load();
    return list ? *list : host();
}

void WindowList::setCurrent(WindowList* list) {
    installed().store(list);
}

}  // namespace rk
