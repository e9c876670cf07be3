#pragma once
// Text order used everywhere rows and names are sorted: Unicode scalar values
// of NFC text. QString::compare orders UTF-16 code units, which puts
// characters outside the Basic Multilingual Plane before U+E000..U+FFFF, so
// it is not used for ordering.
//
// Almost every title and name is plain Latin text, which is already in
// composed form; skipping the normalisation for it keeps deciding a page fast.

#include <QString>

namespace rk::Text {

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
QString nfc(const QString& text);

// Canonically equivalent texts are the same text.
inline bool same(const QString& a, const QString& b) {
    if (a == b)
        return true;
    if (isPlainLatin(a) && isPlainLatin(b))
        return false;
    return nfc(a) == nfc(b);
}

// <0, 0, >0 by scalar values of the NFC forms; case matters.
int compare(const QString& a, const QString& b);
inline bool less(const QString& a, const QString& b) {
    return compare(a, b) < 0;
}

}  // namespace rk::Text
