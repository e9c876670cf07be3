#include "explain/ExplainPrompt.h"

#include <QRegularExpression>
#include <QStringList>

namespace rk {

QString ExplainPrompt::instructions() {
    return QStringLiteral(
        "You explain the login items and background helpers of a Mac to the person who uses it. "
        "For each numbered item, write one short plain-English sentence that says what it does, "
        "addressing the person as \"you\". Answer with one line per item: its number, a colon, "
        "a space and the sentence. Write nothing else. Skip an item you do not know.");
}

QString ExplainPrompt::text(const QList<ExplainItem>& items) {
    QStringList lines;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ExplainItem& item = items[i];
        QStringList fields{QStringLiteral("name: ") + item.name};
        if (item.id)
            fields.append(QStringLiteral("identifier: ") + *item.id);
        if (item.file)
            fields.append(QStringLiteral("file: ") + *item.file);
        if (item.vendor)
            fields.append(QStringLiteral("vendor: ") + *item.vendor);
        lines.append(QString::number(i + 1) + QStringLiteral(". ") + fields.join(QStringLiteral("; ")));
    }
    return lines.join('\n');
}

QMap<QString, QString> ExplainPrompt::parse(const QString& reply, const QList<ExplainItem>& items) {
    static const QRegularExpression line(QStringLiteral("^\\s*(\\d{1,4})\\s*[:.)]\\s*(.+)$"));
    QMap<QString, QString> answers;
    for (const QString& row : reply.split('\n')) {
        const QRegularExpressionMatch match = line.match(row);
        if (!match.hasMatch())
            continue;
        const int number = match.captured(1).toInt();
        if (number < 1 || number > items.size())
            continue;
        const QString& key = items[number - 1].key;
        if (answers.contains(key))
            continue;
        if (const auto sentence = cleanSentence(match.captured(2)))
            answers.insert(key, *sentence);
    }
    return answers;
}

std::optional<QString> ExplainPrompt::cleanSentence(const QString& text) {
    QString flat;
    flat.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        // A surrogate without its partner (a reply's JSON can escape one) is
        // no character: it shows as the replacement character.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            flat.append(c).append(text[++i]);
            continue;
        }
        if (c.isSurrogate())
            c = QChar::ReplacementCharacter;
        const bool blank = c.isSpace() || c.category() == QChar::Other_Control ||
                           c.category() == QChar::Other_Format || c == QChar::LineSeparator ||
                           c == QChar::ParagraphSeparator;
        flat.append(blank ? QChar(' ') : c);
    }
    flat = flat.simplified();
    if (flat.isEmpty() || flat.size() > maxSentenceLength)
        return std::nullopt;
    return flat;
}

}  // namespace rk
