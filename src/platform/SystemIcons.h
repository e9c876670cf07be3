#pragma once
// The workspace's icons for two generic kinds of file, which the blank-icon
// test compares row icons with: the generic document (the look of a row whose
// program is gone) and the generic application. On a Mac they are the
// system's own, drawn in the asked appearance; this host has none and answers
// with our drawings (IconArt). Implementations answer from any thread.

#include <QImage>

#include "platform/IconArt.h"

namespace rk {

class SystemIcons {
public:
    virtual ~SystemIcons() = default;

    // A square of `side` pixels filled with the appearance's page background
    // (IconArt::background), the icon drawn over all of it in that
    // appearance; a null image when the appearance or a bitmap cannot be had.
    virtual QImage generic(GenericIcon icon, int side, bool dark) = 0;

    // The process-wide implementation; nullptr restores the host's.
    static SystemIcons& current();
    static void setCurrent(SystemIcons* icons);
};

// This machine: our own drawings.
class HostSystemIcons final : public SystemIcons {
public:
    QImage generic(GenericIcon icon, int side, bool dark) override {
        return IconArt::render(icon, side, dark);
    }
};

}  // namespace rk
