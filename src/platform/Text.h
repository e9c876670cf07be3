#pragma once
// Text order used everywhere rows and names are sorted: Unicode scalar values
// of NFC text. QString::compare orders UTF-16 code units, which puts
// characters outside the Basic Multilingual Plane before U+E000..U+FFFF, so
// it is not used for ordering.

#include <QString>

namespace rk::Text {

QString nfc(const QString& text);
// <0, 0, >0 by scalar values of the NFC forms; case matters.
int compare(const QString& a, const QString& b);
inline bool less(const QString& a, const QString& b) { return compare(a, b) < 0; }

}  // namespace rk::Text
