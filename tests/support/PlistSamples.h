#pragma once
// For the property-list readers' tests: a list that holds every kind of
// value, and what a reading was refused as.

#include "platform/Plist.h"

namespace rk::test {

// Every kind of value once, a text twice, all of it kept whole by both forms.
inline PlistValue everyKind() {
    return PlistValue(PlistValue::Dictionary{
        {"string", PlistValue("héllo 😀")},
        {"ascii", PlistValue("plain")},
        {"negative", PlistValue(qint64(-5))},
        {"large", PlistValue(qint64(1) << 40)},
        {"real", PlistValue(2.5)},
        {"yes", PlistValue(true)},
        {"no", PlistValue(false)},
        {"data", PlistValue(QByteArray("\x00\x01\xFF", 3))},
        {"date", PlistValue(PlistDate{-60.0})},
        {"uid", PlistValue(PlistUid{7})},
        {"array", PlistValue(PlistValue::Array{PlistValue(1), PlistValue("two"), PlistValue("two")})},
        {"nested", PlistValue(PlistValue::Dictionary{{"inner", PlistValue("x")}})}});
}

// The kind of refusal; none when the list was read.
inline std::optional<PlistError::Kind> refusal(const Result<PlistValue, PlistError>& read) {
    return read ? std::nullopt : std::optional(read.error().kind);
}

}  // namespace rk::test
