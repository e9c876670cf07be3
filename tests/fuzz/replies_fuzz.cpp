// A reply of the AI gateway and one of the on-device model, for two items.
// Each answer is keyed by an item and is a sentence fit to show (one line of
// well-formed text, no control or format characters, single blanks, at most
// the longest sentence) that cleaning leaves as it is. And the two readers
// agree: the answers of one, written in the other's form, read back the same there.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "FuzzInput.h"
#include "explain/ExplainPrompt.h"
#include "explain/GatewayClient.h"

using fuzzing::require;

namespace {

const QList<rk::ExplainItem> kItems{{"a", "Relay", "com.vendor.relay", "Relay.app", "Vendor"},
                                    {"b", "Sync", std::nullopt, std::nullopt, std::nullopt}};

void checkAnswers(const QMap<QString, QString>& answers) {
    for (auto it = answers.begin(); it != answers.end(); ++it) {
        const QString& s = it.value();
        require(it.key() == "a" || it.key() == "b", "every answer is keyed by an item");
        require(!s.isEmpty() && s.size() <= rk::ExplainPrompt::maxSentenceLength && !s.startsWith(' ') &&
                    !s.endsWith(' ') && !s.contains("  ") && QStringView(s).isValidUtf16() &&
                    std::none_of(s.begin(), s.end(),
                                 [](QChar c) {
                                     return (c.isSpace() && c != ' ') ||
                                            c.category() == QChar::Other_Control ||
                                            c.category() == QChar::Other_Format;
                                 }),
                "every answer is a sentence fit to show");
        require(rk::ExplainPrompt::cleanSentence(s) == s, "a clean sentence stays as it is");
    }
}

// The answers as the gateway sends them, and as the model is asked to write them.
std::pair<QByteArray, QString> bothForms(const QMap<QString, QString>& answers) {
    QJsonArray list;
    QStringList lines;
    for (qsizetype i = 0; i < kItems.size(); ++i)
        if (answers.contains(kItems[i].key)) {
            list.append(QJsonObject{{"ref", int(i)}, {"what", answers[kItems[i].key]}});
            lines << QString::number(i + 1) + ": " + answers[kItems[i].key];
        }
    return {QJsonDocument(QJsonObject{{"answers", list}}).toJson(QJsonDocument::Compact), lines.join('\n')};
}

}  // namespace

void fuzz(const QByteArray& input) {
    if (const auto gateway = rk::GatewayClient::parseReply(input, kItems)) {
        checkAnswers(gateway.value());
        require(rk::ExplainPrompt::parse(bothForms(gateway.value()).second, kItems) == gateway.value(),
                "the gateway's answers read the same from the model");
    }
    const auto model = rk::ExplainPrompt::parse(QString::fromUtf8(input), kItems);
    checkAnswers(model);
    const auto again = rk::GatewayClient::parseReply(bothForms(model).first, kItems);
    require(again && again.value() == model, "the model's answers read the same from the gateway");
}
