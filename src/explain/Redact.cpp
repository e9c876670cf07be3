#include "explain/Redact.h"

#include <QRegularExpression>
#include <vector>

#include "platform/Text.h"

namespace rk {

namespace {

constexpr int minimumNameLength = 3;

int characterCount(const QString& text) {
    return int(text.toUcs4().size());
}

void addName(QStringList& names, const QString& candidate) {
    const QString name = Text::nfc(candidate);
    if (characterCount(name) < minimumNameLength)
        return;
    if (names.contains(name, Qt::CaseInsensitive))
        return;
    names.append(name);
}

// Marks every character of `text` that lies inside an occurrence of a name,
// overlapping occurrences included.
std::vector<bool> coveredCharacters(const QString& text, const QStringList& names) {
    std::vector<bool> covered(size_t(text.size()), false);
    for (const QString& name : names) {
        for (qsizetype at = text.indexOf(name, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(name, at + 1, Qt::CaseInsensitive)) {
            std::fill(covered.begin() + at, covered.begin() + at + name.size(), true);
        }
    }
    return covered;
}

QString replaceCovered(const QString& text, const std::vector<bool>& covered, const QString& replacement) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!covered[size_t(i)]) {
            out.append(text[i]);
        } else if (i == 0 || !covered[size_t(i - 1)]) {
            out.append(replacement);
        }
    }
    return out;
}

bool containsAny(const QString& text, const QStringList& names) {
    for (const QString& name : names) {
        if (text.contains(name, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// "user" can itself hold a name ("use", "ser"), and a replacement can join
// with the text beside it into a name again. A single character that occurs
// in no name can do neither, so it is the last resort.
QStringList replacements(const QStringList& names) {
    QStringList list{QStringLiteral("user"), QStringLiteral("someone")};
    for (const QChar mark : {u'*', u'#', u'~', u'_', u'\u2022'}) {
        bool inName = false;
        for (const QString& name : names)
            inName = inName || name.contains(mark, Qt::CaseInsensitive);
        if (!inName) {
            list.append(QString(3, mark));
            break;
        }
    }
    return list;
}

}  // namespace

QStringList Redact::names(const UserAccount& account) {
    QStringList names;
    addName(names, account.shortName());
    static const QRegularExpression separators(QStringLiteral("[^\\p{L}\\p{M}\\p{N}]+"));
    for (const QString& word : Text::nfc(account.fullName()).split(separators, Qt::SkipEmptyParts)) {
        addName(names, word);
    }
    return names;
}

QString Redact::user(const QString& text, const UserAccount& account) {
    const QStringList hidden = names(account);
    if (hidden.isEmpty() || text.isEmpty())
        return text;
    const QString normal = Text::nfc(text);
    const std::vector<bool> covered = coveredCharacters(normal, hidden);
    if (std::find(covered.begin(), covered.end(), true) == covered.end())
        return text;
    for (const QString& replacement : replacements(hidden)) {
        const QString out = replaceCovered(normal, covered, replacement);
        if (!containsAny(out, hidden))
            return out;
    }
    // Every mark occurs in some name: give nothing rather than a name.
    return QString();
}

std::optional<QString> Redact::user(const std::optional<QString>& text, const UserAccount& account) {
    if (!text)
        return std::nullopt;
    return user(*text, account);
}

}  // namespace rk
