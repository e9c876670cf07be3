// A background-task store file, with its records resolved and the person's
// picked. Never more records than the cap, every text of a record one of
// the list's own strings, and a path only from a file url.
#include "FuzzInput.h"
#include "finder/BackgroundStore.h"
#include "platform/BinaryPlist.h"
#include "platform/BinaryPlistWriter.h"

using fuzzing::require;

void fuzz(const QByteArray& input) {
    const auto records = rk::BackgroundStore::parse(input);
    if (!records)
        return;
    require(records->size() <= rk::BackgroundStore::maxRecords, "no more records than the cap");
    // The strings as the reader meets them: other forms through the binary one.
    auto tree = rk::Plist::parse(input);
    if (tree && !rk::BinaryPlist::looksBinary(input))
        tree = rk::Plist::parse(rk::BinaryPlistWriter::write(tree.value()));
    require(tree.ok(), "a store read is a list");
    const QSet<QString> strings = fuzzing::strings(tree.value());
    for (const rk::BTMRecord& r : records.value()) {
        for (const auto& text :
             {std::optional(r.user), r.name == "?" ? std::nullopt : std::optional(r.name), r.url,
              r.bundleIdentifier, r.teamIdentifier, r.developerName, r.executablePath, r.identifier})
            require(!text || strings.contains(*text), "every text of a record is one of the list's strings");
        require(!r.path || (r.url && r.url->startsWith("file://")), "a path only from a file url");
    }
    rk::BackgroundStore::mine(records.value(), "/Users/anna");
}
