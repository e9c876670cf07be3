#include "platform/WindowList.h"

#include "platform/Seam.h"

namespace rk {

WindowList& WindowList::current() {
    return Seam<WindowList>::current<HostWindowList>();
}

void WindowList::setCurrent(WindowList* list) {
    Seam<WindowList>::setCurrent(list);
}

}  // namespace rk
