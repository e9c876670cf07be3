// A property list, binary for plist_binary (FUZZ_PLIST_BINARY 1), XML for
// plist_xml, read as a tree and in place. What our reader accepts stays
// within the nesting and value caps, its view reads as its tree, and
// libplist reads the same values where it accepts it; a binary list we
// accept it must accept too. libplist follows any nesting, so it sees only
// lists we bounded, in XML also by their count of '<'.
#include <bit>

#include "FuzzInput.h"
#include "support/LibplistReading.h"

using fuzzing::require;
using rk::PlistValue;
using rk::test::LibplistReading;

namespace {

constexpr bool kBinary = FUZZ_PLIST_BINARY;
// Small enough that binary lists of a few kilobytes reach it, sharing
// containers, and large enough for the deepest nesting allowed.
constexpr quint64 kNodeCap = kBinary ? 1024 : rk::Plist::defaultNodeCap;

// The containers on the deepest path of `value`, and the values below it
// counted as the cap counts them: each element, key and value of a container.
std::pair<int, quint64> shape(const PlistValue& value) {
    int depth = 0;
    quint64 values = 0;
    const auto add = [&](const PlistValue& child, quint64 count) {
        const auto [d, n] = shape(child);
        depth = std::max(depth, d);
        values += count + n;
    };
    if (const auto* items = value.array())
        for (const PlistValue& item : *items)
            add(item, 1);
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries)
            add(entry.value, 2);
    return {depth + (value.array() || value.dictionary() ? 1 : 0), values};
}

// The view answers as the tree: each kind and leaf, each element, and for
// each key (that is UTF-8, so can be asked for) its first entry.
void sameView(const rk::PlistView& view, const PlistValue& value) {
    const auto bits = [](std::optional<double> real) { return std::bit_cast<quint64>(real.value_or(0)); };
    require(view.kind() == value.kind() && view.integer() == value.integer() &&
                view.boolean() == value.boolean() && view.uid() == value.uid() &&
                bits(view.real()) == bits(value.real()) &&
                view.string() == (value.string() ? std::optional(*value.string()) : std::nullopt),
            "the view reads each value as the tree");
    const auto elements = view.elements();
    require(elements.size() == view.count() && view.count() == (value.array() ? value.array()->size() : 0),
            "the view and the tree hold as many elements");
    for (size_t i = 0; i < elements.size(); ++i)
        sameView(elements[i], (*value.array())[i]);
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries)
            if (value.find(entry.key) == &entry.value && !entry.key.contains(QChar::ReplacementCharacter))
                sameView(view.find(entry.key.toUtf8().constData()), entry.value);
}

}  // namespace

void fuzz(const QByteArray& input) {
    if (input.startsWith("bplist00") != kBinary)
        return;  // the other form's harness
    const auto ours = rk::Plist::parse(input, rk::Plist::defaultSizeCap, kNodeCap);
    const auto document = rk::PlistDocument::parse(input, rk::Plist::defaultSizeCap, kNodeCap);
    require(ours.ok() == document.ok(), "the document accepts what the tree accepts");
    if (!ours)
        return;
    const auto [depth, values] = shape(ours.value());
    require(depth <= rk::Plist::maxDepth, "no accepted list nests deeper than the cap");
    require(1 + values <= kNodeCap, "no accepted list comes to more values than the cap");
    sameView(document->root(), ours.value());

    if (!kBinary && input.count('<') > 20000)
        return;
    const auto theirs = kBinary ? LibplistReading::binary(input) : LibplistReading::xml(input);
    require(theirs || !kBinary, "libplist accepts the binary lists our reader accepts");
    require(!theirs || LibplistReading::same(ours.value(), *theirs), "libplist reads the same values");
}
