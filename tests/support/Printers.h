#pragma once
// How failing expectations print Qt's text: as the text, not as bytes.

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
