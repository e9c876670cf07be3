#pragma once
// What the on-device model is asked, how its answer is read, and how any
// model's sentence is made fit to show: one line of plain text of sensible
// length.

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

#include "explain/ExplainTypes.h"

namespace rk {

struct ExplainPrompt {
    // Longer answers are not a sentence; they are dropped rather than cut.
    static constexpr int maxSentenceLength = 400;

    static QString instructions();
    // One numbered line per item (1-based) with its name, identifier, file
    // and vendor; never the item's key.
    static QString text(const QList<ExplainItem>& items);
    // Lines "N: sentence" (also "N." or "N)") of the model's reply, keyed by
    // the item key of line N. Unknown numbers and unusable sentences are
    // skipped; the first line for a number wins.
    static QMap<QString, QString> parse(const QString& reply, const QList<ExplainItem>& items);

    // `text` on one line with runs of white space and control characters
    // made single blanks, and a surrogate without its partner the
    // replacement character; none when that leaves nothing or is too long.
    static std::optional<QString> cleanSentence(const QString& text);
};

}  // namespace rk
