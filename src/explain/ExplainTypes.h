#pragma once
// The value types of the explanation pipeline: what is offered for an
// explanation, and the one-sentence answer with the source that gave it.

#include <QMap>
#include <QString>
#include <optional>

namespace rk {

// One item offered for explanation. `key` identifies the item and keys its
// answer; it never leaves the Mac. `id` is the launchd label or bundle
// identifier, `file` a program's file name.
struct ExplainItem {
    QString key;
    QString name;
    std::optional<QString> id;
    std::optional<QString> file;
    std::optional<QString> vendor;

    friend bool operator==(const ExplainItem&, const ExplainItem&) = default;
};

// The answer for one item: a single plain-English sentence and who gave it.
struct Explanation {
    // Cases in this order; the raw texts are what the person and the
    // command-line checks read.
    enum class Source { rules, onDevice, ai, none };

    QString name;
    QString what;
    Source source = Source::none;

    static QString rawValue(Source source) {
        switch (source) {
            case Source::rules:
                return QStringLiteral("rules");
            case Source::onDevice:
                return QStringLiteral("on this Mac");
            case Source::ai:
                return QStringLiteral("AI");
            case Source::none:
                break;
        }
        return QStringLiteral("none");
    }

    // The source with this exact raw text, or none for any other text.
    static std::optional<Source> fromRawValue(const QString& raw) {
        for (Source source : {Source::rules, Source::onDevice, Source::ai, Source::none}) {
            if (rawValue(source) == raw) {
                return source;
            }
        }
        return std::nullopt;
    }

    friend bool operator==(const Explanation&, const Explanation&) = default;
};

// Answers keyed by `ExplainItem::key`.
using ExplanationMap = QMap<QString, Explanation>;

}  // namespace rk
