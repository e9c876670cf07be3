#include "cli/TextForms.h"

#include <QLocale>
#include <QTextBoundaryFinder>
#include <cmath>
#include <limits>

namespace rk {

namespace {

// The number of UTF-16 units the first `count` characters take.
qsizetype unitsOf(const QString& text, int count) {
    if (count <= 0)
        return 0;
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int taken = 0; taken < count; ++taken) {
        const qsizetype next = boundaries.toNextBoundary();
        if (next < 0)
            return text.size();
        end = next;
    }
    return end;
}

int characters(const QString& text) {
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (boundaries.toNextBoundary() >= 0)
        ++count;
    return count;
}

}  // namespace

QString TextForms::decimal(double value) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

QString TextForms::rect(const Rect& r) {
    return QStringLiteral("(%1, %2, %3, %4)")
        .arg(decimal(r.x), decimal(r.y), decimal(r.width), decimal(r.height));
}

QString TextForms::list(const QStringList& texts) {
    QStringList quotedTexts;
    for (const QString& text : texts)
        quotedTexts << quoted(text);
    return QLatin1Char('[') + quotedTexts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString TextForms::quoted(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const char32_t c : text.toUcs4()) {
        switch (c) {
            case U'"':
                out += QStringLiteral("\\\"");
                break;
            case U'\\':
                out += QStringLiteral("\\\\");
                break;
            case U'\n':
                out += QStringLiteral("\\n");
                break;
            case U'\t':
                out += QStringLiteral("\\t");
                break;
            case U'\r':
                out += QStringLiteral("\\r");
                break;
            case U'\0':
                out += QStringLiteral("\\0");
                break;
            default:
                if (c < 0x20 || (c >= 0x7f && c < 0xa0))
                    out += QStringLiteral("\\u{%1}").arg(static_cast<uint>(c), 0, 16);
                else
                    out += QString::fromUcs4(&c, 1);
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString TextForms::cut(const QString& text, int count) {
    return text.left(unitsOf(text, count));
}

QString TextForms::padded(const QString& text, int width) {
    const int have = characters(text);
    return have >= width ? text : text + QString(width - have, QLatin1Char(' '));
}

qint64 TextForms::whole(double value) {
    if (!std::isfinite(value))
        return 0;
    const double cut = std::trunc(value);
    // 2^63 is exact as a double; anything at or past it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (cut >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (cut < -kLimit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(cut);
}

}  // namespace rk
