// An XML property list. Our reader never nests deeper than Plist::maxDepth,
// reads the list in place as it reads it whole, and where it and libplist
// both accept a list, both read the same values. libplist, which recurses
// once per level, is run only where the count of '<' bounds its nesting.
#include "FuzzInput.h"
#include "platform/Plist.h"
#include "support/LibplistReading.h"

namespace {

// How many containers deep `v` nests.
int depthOf(const rk::PlistValue& v) {
    int deepest = 0;
    if (const auto* items = v.array())
        for (const auto& item : *items)
            deepest = std::max(deepest, depthOf(item));
    else if (const auto* entries = v.dictionary())
        for (const auto& entry : *entries)
            deepest = std::max(deepest, depthOf(entry.value));
    return deepest + (v.array() || v.dictionary() ? 1 : 0);
}

}  // namespace

void fuzz(const QByteArray& input) {
    if (input.startsWith("bplist00"))
        return;
    const auto ours = rk::Plist::parse(input);
    const auto document = rk::PlistDocument::parse(input);
    using rk::test::LibplistReading;
    if (ours.ok() != document.ok() || (ours && !LibplistReading::same(*document->root().toValue(), *ours)))
        __builtin_trap();
    if (!ours)
        return;
    if (depthOf(ours.value()) > rk::Plist::maxDepth)
        __builtin_trap();
    if (input.count('<') > 20000)
        return;
    const auto theirs = LibplistReading::xml(input);
    if (theirs && !LibplistReading::same(ours.value(), *theirs))
        __builtin_trap();
}
