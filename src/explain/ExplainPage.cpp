#include "explain/ExplainPage.h"

#include <QSet>

#include "explain/ExplainRules.h"
#include "explain/Redact.h"

namespace rk {

namespace {

QString keyOf(const BTMRecord& record) {
    return record.identifier.value_or(record.name);
}

std::optional<QString> fileName(const std::optional<QString>& path) {
    if (!path)
        return std::nullopt;
    return path->section('/', -1, -1, QString::SectionSkipEmpty);
}

ExplainItem itemOf(const BTMRecord& record, const QString& key, const UserAccount& account) {
    ExplainItem item;
    item.key = key;
    item.name = Redact::user(std::optional<QString>(record.name), account).value_or(record.name);
    const std::optional<QString> label = record.label();
    item.id = Redact::user(label ? label : record.bundleIdentifier, account);
    item.file = Redact::user(fileName(record.executablePath), account);
    item.vendor = record.developerName;
    return item;
}

}  // namespace

QList<ExplainItem> ExplainPage::loginItems(const QList<BTMRecord>& personsRecords,
                                           const UserAccount& account) {
    QList<ExplainItem> items;
    QSet<QString> seen;
    for (const BTMRecord& record : personsRecords) {
        if (!(record.isAgent() || record.isDaemon()) || !record.enabled())
            continue;
        const QString key = keyOf(record);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        if (record.teamIdentifier == ownTeamIdentifier())
            continue;
        items.append(itemOf(record, key, account));
    }
    return items;
}

QList<ExplainItem> ExplainPage::withoutRule(const QList<ExplainItem>& items) {
    QList<ExplainItem> rest;
    for (const ExplainItem& item : items) {
        if (!ExplainRules::explain(item))
            rest.append(item);
    }
    return rest;
}

std::optional<QString> ExplainPage::note(const QList<ExplainItem>& items, const ExplanationMap& answers,
                                         Explanation::Source source) {
    if (source != Explanation::Source::none)
        return std::nullopt;
    qsizetype missing = 0;
    for (const ExplainItem& item : items) {
        if (!answers.contains(item.key))
            ++missing;
    }
    if (missing == 0)
        return std::nullopt;
    return QStringLiteral("The plain-English explanations did not run for ") + QString::number(missing) +
           QStringLiteral(" item") + (missing == 1 ? QString() : QStringLiteral("s")) +
           QStringLiteral(" (no model available, or AI explanations are off).");
}

}  // namespace rk
