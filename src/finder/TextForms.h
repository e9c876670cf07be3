#pragma once
// Canonical text forms for comparing names and titles. Almost every title is
// plain Latin text, which is already in composed form; skipping the
// normalisation for it keeps deciding a page fast.

#include <QString>

#include "platform/Text.h"

namespace rk::TextForms {

// Every code point below U+0300 is stable under composition, so a text made
// only of them is its own composed form.
inline bool isPlainLatin(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x300)
            return false;
    }
    return true;
}

// The composed (NFC) form, shared rather than copied when nothing changes.
inline QString canonical(const QString& text) {
    return isPlainLatin(text) ? text : Text::nfc(text);
}

// Canonically equivalent texts are the same text.
inline bool same(const QString& a, const QString& b) {
    if (a == b)
        return true;
    if (isPlainLatin(a) && isPlainLatin(b))
        return false;
    return Text::nfc(a) == Text::nfc(b);
}

}  // namespace rk::TextForms
