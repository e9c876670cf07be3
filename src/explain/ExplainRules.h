#pragma once
// The built-in table of well-known helpers: updaters, cloud sync agents and
// launchers of common vendors, each with one plain-English sentence. An item
// matches a rule when one of the rule's words occurs, ignoring case, in its
// name, identifier, file name or vendor, and not as part of a longer word
// (its neighbours are no letters or digits). Pure and cheap: safe on the main
// thread and from any other.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "explain/ExplainTypes.h"

namespace rk {

struct ExplainRules {
    struct Rule {
        QStringList words;  // lower case; each is looked for as a whole word in the item's texts
        QString sentence;
    };

    // The rule sentence for `item`, or none when no rule matches. The first
    // matching rule of the table wins.
    static std::optional<QString> explain(const ExplainItem& item);
    static const QList<Rule>& table();
};

}  // namespace rk
