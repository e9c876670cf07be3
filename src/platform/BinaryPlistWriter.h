#pragma once
// The binary property-list form ("bplist00") written from a value tree; the
// reader is BinaryPlist. Any thread.

#include <QByteArray>

#include "platform/Plist.h"

namespace rk {

struct BinaryPlistWriter {
    // A value tree in this form, each value an object of its own (nothing
    // shared), in time and space in proportion to the tree: libplist's
    // writer looks for equal objects in a table of fixed size, which makes
    // large lists cost time in proportion to the square of their size.
    // UIDs beyond 32 bits are written as the largest one, which names
    // nothing in any archive.
    static QByteArray write(const PlistValue& value);
};

}  // namespace rk
