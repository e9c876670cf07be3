#pragma once
// The XML form of property lists, which libplist parses: the shape check that
// runs before libplist sees the bytes, and the conversion of libplist's tree
// into our value tree. Only platform/Plist.cpp uses it; callers go through
// Plist and PlistDocument.

#include <QByteArray>
#include <optional>

#include "platform/Plist.h"

namespace rk {

struct PlistXml {
    // Refuses a list whose <array>/<dict> nesting passes Plist::maxDepth,
    // before libplist's recursive parser can exhaust the stack on it.
    static std::optional<PlistError> checkShape(const QByteArray& bytes);
    // A libplist node (a plist_t) as a value tree; none when it nests beyond
    // Plist::maxDepth or holds a node type property lists do not define.
    static std::optional<PlistValue> toValue(void* node);
};

}  // namespace rk
