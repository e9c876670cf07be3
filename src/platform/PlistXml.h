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
    // Refuses, before libplist sees it, a list whose <array>/<dict> nesting
    // passes Plist::maxDepth, that holds more than `nodeCap` elements, or
    // whose markup libplist might tokenize otherwise than this check does.
    static std::optional<PlistError> checkShape(const QByteArray& bytes, quint64 nodeCap);
    // A date node's seconds since 2001 as libplist holds them. libplist's own
    // accessor converts them to 32 bits unchecked, which is undefined outside
    // 1933-2069; this reads the stored value whole.
    static double dateSeconds(void* node);
    // A libplist node (a plist_t) as a value tree; none when it nests beyond
    // Plist::maxDepth or holds a node type property lists do not define.
    static std::optional<PlistValue> toValue(void* node);
};

}  // namespace rk
