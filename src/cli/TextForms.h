#pragma once
// The plain text forms the page probe and the Accessibility dump print values
// in: a rectangle, a list of texts, a text in debugging quotes, a text cut or
// padded to a number of characters, and a frame value as a whole number.
// "Character" here means what a person sees as one character (a grapheme
// cluster): a flag or a family emoji is one, however many code points it
// takes. Pure functions, callable from any thread.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "platform/Geometry.h"

namespace rk {

struct TextForms {
    // The shortest decimal that reads back as the same value, always with a
    // fraction or an exponent: 100 gives "100.0", 12.5 "12.5", 1e16 "1e+16";
    // "inf", "-inf" and "nan" for the values that are not numbers.
    static QString decimal(double value);
    // "(x, y, width, height)" in decimal(): "(100.0, 50.0, 715.0, 650.0)".
    static QString rect(const Rect& r);
    // Each text quoted(), joined by ", ", in square brackets: ["A", "B"]; [] when empty.
    static QString list(const QStringList& texts);
    // The text between double quotes with double quotes, backslashes and
    // control characters escaped: \" \\ \n \t \r \0, and any other control
    // character as \u{hex}. An empty text gives "".
    static QString quoted(const QString& text);

    // The first `count` characters; the whole text when it has no more.
    static QString cut(const QString& text, int count);
    // The text followed by blanks up to `width` characters; longer texts stay whole.
    static QString padded(const QString& text, int width);

    // A frame value cut toward zero (12.9 gives 12, -3.5 gives -3). Values
    // that are not finite give 0, and values beyond the 64-bit range give
    // that range's nearest end, so no value is ever converted out of range.
    static qint64 whole(double value);
};

}  // namespace rk
