#pragma once
// The explanation side of the Login Items page, as pure functions the
// application model calls: which of the person's background records are
// offered, and the note shown after a run.

#include <QList>
#include <QString>
#include <optional>

#include "explain/ExplainTypes.h"
#include "finder/BackgroundStore.h"
#include "platform/UserAccount.h"

namespace rk {

struct ExplainPage {
    // The maker's own team identifier: the app's own items are not explained.
    static QString ownTeamIdentifier() { return QStringLiteral("K4TQ9XR2VM"); }

    // From the person's records, in store order: the enabled agents and
    // daemons, one per key (the identifier, else the name; the first wins),
    // none signed by the maker. Name, identifier (the launchd label, else the
    // bundle identifier) and file name pass through `Redact::user`; the
    // vendor is the developer name as it is.
    static QList<ExplainItem> loginItems(const QList<BTMRecord>& personsRecords,
                                         const UserAccount& account = UserAccount::current());

    // The items the rule table does not answer, in order.
    static QList<ExplainItem> withoutRule(const QList<ExplainItem>& items);

    // After a run over `items`: the note naming how many items got no answer
    // when no model could run (`source` none); none otherwise.
    static std::optional<QString> note(const QList<ExplainItem>& items, const ExplanationMap& answers,
                                       Explanation::Source source);
};

}  // namespace rk
