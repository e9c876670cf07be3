#pragma once
// libplist's own reading of a property list, as a value tree: the reference
// our readers are held to in tests and in the XML fuzzing harness. libplist
// recurses once per level of nesting, also when it frees its tree, so hand
// it only lists whose nesting something else has bounded.

#include <QByteArray>
#include <optional>

#include "platform/Plist.h"

namespace rk::test {

struct LibplistReading {
    // None where libplist refuses the list. In XML {"CF$UID": n} reads as a
    // UID, as our reader gives it.
    static std::optional<PlistValue> xml(const QByteArray& bytes);
    static std::optional<PlistValue> binary(const QByteArray& bytes);
    // Equal values, reals and dates compared bit for bit (NaN included), and
    // texts and keys but for a leading byte-order mark (libplist's UTF-8 read as text drops one).
    static bool same(const PlistValue& a, const PlistValue& b);
};

}  // namespace rk::test
