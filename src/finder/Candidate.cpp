#include "finder/Candidate.h"

#include <QChar>

#include "platform/Text.h"

namespace rk {

namespace {

bool sameText(const QString& a, const QString& b) {
    return Text::same(a, b);
}

bool isAscii(QStringView text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

void appendScalar(std::u16string& out, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        out.push_back(QChar::highSurrogate(c));
        out.push_back(QChar::lowSurrogate(c));
    } else {
        out.push_back(char16_t(c));
    }
}

bool isMark(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

}  // namespace

QString Candidate::primaryName() const {
    return names.isEmpty() ? key : names.first();
}

QString Candidate::normalize(const QString& text) {
    std::u16string out;
    normalizeInto(text, out);
    return QString::fromStdU16String(out);
}

void Candidate::normalizeInto(QStringView text, std::u16string& out) {
    out.clear();
    if (isAscii(text)) {
        // Most titles and names: no normalisation or case tables needed.
        out.resize(size_t(text.size()));
        size_t kept = 0;
        for (QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= 'A' && u <= 'Z') {
                out[kept++] = char16_t(u + ('a' - 'A'));
            } else if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) {
                out[kept++] = u;
            }
        }
        out.resize(kept);
        return;
    }
    // A combining mark is kept with the letter or number it sits on, so "é"
    // written as e and an accent stays one letter, as a reader sees it.
    const std::u32string lower = Text::nfc(text.toString()).toLower().toStdU32String();
    bool baseKept = false;
    for (char32_t c : lower) {
        if (isMark(c)) {
            if (baseKept)
                appendScalar(out, c);
            continue;
        }
        baseKept = QChar::isLetterOrNumber(c);
        if (baseKept)
            appendScalar(out, c);
    }
}

bool Candidate::matches(const QString& title) const {
    for (const QString& name : names) {
        if (sameText(name, title))
            return true;
    }
    const QString wanted = normalize(title);
    if (wanted.isEmpty())
        return false;
    for (const QString& name : names) {
        if (normalize(name) == wanted)
            return true;
    }
    return false;
}

bool operator==(const Candidate& a, const Candidate& b) {
    if (!sameText(a.key, b.key) || a.names.size() != b.names.size() || !(a.liveness == b.liveness) ||
        a.testWhy.has_value() != b.testWhy.has_value() || !sameText(a.kindWord, b.kindWord) ||
        !sameText(a.detail, b.detail)) {
        return false;
    }
    if (a.testWhy && !sameText(*a.testWhy, *b.testWhy))
        return false;
    for (qsizetype i = 0; i < a.names.size(); ++i) {
        if (!sameText(a.names[i], b.names[i]))
            return false;
    }
    return true;
}

size_t qHash(const Candidate& candidate, size_t seed) {
    size_t h = ::qHash(Text::nfc(candidate.key), seed);
    for (const QString& name : candidate.names)
        h = ::qHash(Text::nfc(name), h);
    h = qHash(candidate.liveness, h);
    h = candidate.testWhy ? ::qHash(Text::nfc(*candidate.testWhy), ::qHash(1, h)) : ::qHash(0, h);
    h = ::qHash(Text::nfc(candidate.kindWord), h);
    return ::qHash(Text::nfc(candidate.detail), h);
}

}  // namespace rk
