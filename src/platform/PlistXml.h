#pragma once
// The XML form of property lists, read by our own reader: Qt's
// QXmlStreamReader checks the markup and hands out its pieces one at a time,
// and the values are built here on a stack of open containers that never
// grows past Plist::maxDepth. No library ever builds a tree from the bytes,
// so no nesting, however hidden, can reach a recursion. Only
// platform/Plist.cpp uses it; callers go through Plist.
//
// A list is accepted when it is well-formed XML and shaped as a property
// list: an optional <plist> holding one value, dictionaries of key and value
// pairs, no other elements, no attributes but on <plist>, no text between
// elements, no DTD internal subset. Values are read as libplist 2.2 reads
// them, from the bytes as written (line ends and invalid UTF-8 included): a
// list both read, both read alike. Markup that libplist would delimit
// otherwise (a quote left open in a declaration, an instruction or a tag)
// is refused, so are comments and CDATA inside <data> and <date>, whose
// parts libplist pieces together oddly.

#include <QByteArray>

#include "platform/Plist.h"
#include "platform/Result.h"

namespace rk {

struct PlistXml {
    // The list's value tree; refused as too deep past Plist::maxDepth nested
    // containers, as too large past `nodeCap` values (keys count as values),
    // as unreadable otherwise. Time and memory grow with the bytes only.
    static Result<PlistValue, PlistError> read(const QByteArray& bytes, quint64 nodeCap);
};

}  // namespace rk
