// An XML property list. Our reader never nests deeper than Plist::maxDepth,
// reads the list in place as it reads it whole, and where it and libplist
// both accept a list, both read the same values. libplist, which recurses
// once per level, is run only where the count of '<' bounds its nesting.
#include "FuzzInput.h"
#include "platform/Plist.h"
#include "support/LibplistReading.h"

namespace {

int depthOf(const rk::PlistValue& root) {
    std::vector<std::pair<const rk::PlistValue*, int>> stack{{&root, 0}};
    int deepest = 0;
    while (!stack.empty()) {
        const auto [value, depth] = stack.back();
        stack.pop_back();
        if (const auto* items = value->array()) {
            deepest = std::max(deepest, depth + 1);
            for (const auto& item : *items)
                stack.push_back({&item, depth + 1});
        } else if (const auto* entries = value->dictionary()) {
            deepest = std::max(deepest, depth + 1);
            for (const auto& entry : *entries)
                stack.push_back({&entry.value, depth + 1});
        }
    }
    return deepest;
}

}  // namespace

void fuzz(const QByteArray& input) {
    if (input.startsWith("bplist00"))
        return;
    const auto ours = rk::Plist::parse(input);
    const auto document = rk::PlistDocument::parse(input);
    if (ours.ok() != document.ok() || (ours && !rk::test::LibplistReading::same(*document->root().toValue(), *ours)))
        __builtin_trap();
    if (!ours)
        return;
    if (depthOf(ours.value()) > rk::Plist::maxDepth)
        __builtin_trap();
    if (input.count('<') > 20000)
        return;
    const auto theirs = rk::test::LibplistReading::xml(input);
    if (theirs && !rk::test::LibplistReading::same(ours.value(), *theirs))
        __builtin_trap();
}
