#pragma once
// libplist's own reading of an XML property list, as a value tree: the
// reference our readers are held to in tests and in the fuzzing harness.
// libplist recurses once per level of nesting, also when it frees its tree,
// so hand it only lists whose nesting something else has bounded.

#include <QByteArray>
#include <optional>

#include "platform/Plist.h"

namespace rk::test {

struct LibplistReading {
    // None where libplist refuses the list. {"CF$UID": n} reads as a UID,
    // as our readers give it.
    static std::optional<PlistValue> xml(const QByteArray& bytes);
    // A libplist node (a plist_t) as a value tree.
    static std::optional<PlistValue> value(void* node);
    // A date node's seconds since 2001 as libplist holds them. libplist's own
    // accessor converts them to 32 bits unchecked, which is undefined outside
    // 1933-2069; this reads the stored value whole.
    static double dateSeconds(void* node);
    // Equal values, reals and dates compared bit for bit (NaN included).
    static bool same(const PlistValue& a, const PlistValue& b);
};

}  // namespace rk::test
