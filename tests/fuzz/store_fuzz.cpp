// A background-task store file, with its records resolved and the person's
// picked. What a read store gives is checked too: never more records than
// the cap, and every text of a record one of the list's own strings.
#include <QSet>
#include <cstdlib>

#include "FuzzInput.h"
#include "finder/BackgroundStore.h"
#include "platform/BinaryPlist.h"
#include "platform/Plist.h"

namespace {

void collect(const rk::PlistValue& value, QSet<QString>& strings) {
    if (const QString* text = value.string())
        strings.insert(*text);
    if (const auto* elements = value.array())
        for (const auto& element : *elements)
            collect(element, strings);
    if (const auto* entries = value.dictionary())
        for (const auto& entry : *entries)
            collect(entry.value, strings);
}

}  // namespace

void fuzz(const QByteArray& input) {
    const auto records = rk::BackgroundStore::parse(input);
    if (!records)
        return;
    if (records->size() > rk::BackgroundStore::maxRecords)
        std::abort();
    // The strings as the reader meets them: other forms through the binary one.
    auto tree = rk::Plist::parse(input);
    if (tree && !rk::BinaryPlist::looksBinary(input))
        tree = rk::Plist::parse(rk::BinaryPlist::write(tree.value()));
    if (!tree)
        std::abort();
    QSet<QString> strings;
    collect(tree.value(), strings);
    for (const rk::BTMRecord& r : records.value()) {
        const std::optional<QString> texts[] = {r.user,
                                                r.name == "?" ? std::nullopt : std::optional(r.name),
                                                r.url,
                                                r.bundleIdentifier,
                                                r.teamIdentifier,
                                                r.developerName,
                                                r.executablePath,
                                                r.identifier};
        for (const auto& text : texts)
            if (text && !strings.contains(*text))
                std::abort();
        if (r.path && !(r.url && r.url->startsWith("file://")))
            std::abort();
    }
    rk::BackgroundStore::mine(records.value(), "/Users/anna");
}
