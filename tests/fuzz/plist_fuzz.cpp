// A property list, binary for plist_binary (FUZZ_PLIST_BINARY 1), XML for
// plist_xml, read as a tree, and a binary one also in place. What our reader
// accepts stays within the nesting and value caps, the in-place lookups read
// as its tree, and libplist reads the same values where it accepts it; a
// binary list we accept it must accept too. libplist follows any nesting, so
// it sees only lists we bounded, in XML also by their count of '<'.
#include <bit>

#include "FuzzInput.h"
#include "platform/BinaryPlist.h"
#include "support/LibplistReading.h"

using fuzzing::require;
using rk::PlistValue;
using rk::test::LibplistReading;

namespace {

constexpr bool kBinary = FUZZ_PLIST_BINARY;
// Small enough that binary lists of a few kilobytes reach it, sharing
// containers, and large enough for the deepest nesting allowed.
constexpr quint64 kNodeCap = kBinary ? 1024 : rk::Plist::defaultNodeCap;

// The in-place lookups the store reader makes answer as the tree: each kind
// and leaf, each element, and for each key (that is UTF-8, so can be asked
// for) its first entry.
void sameInPlace(const rk::BinaryPlist& list, quint64 index, const PlistValue& value) {
    const auto o = list.object(list.offsetOf(index));
    const auto bits = [](std::optional<double> real) { return std::bit_cast<quint64>(real.value_or(0)); };
    const auto when = [](bool is, auto read) { return is ? std::optional(read()) : std::nullopt; };
    require(rk::BinaryPlist::kind(o) == value.kind() &&
                when(o.type == 0x1, [&] { return list.integer(o); }) == value.integer() &&
                when(o.type == 0x0, [&] { return o.low == 0x9; }) == value.boolean() &&
                when(o.type == 0x8, [&] { return list.uid(o); }) == value.uid() &&
                bits(when(o.type == 0x2, [&] { return list.real(o); })) == bits(value.real()) &&
                when(list.isString(o), [&] { return list.string(o); }) ==
                    (value.string() ? std::optional(*value.string()) : std::nullopt),
            "the list read in place reads each value as the tree");
    const quint64 count = list.isArray(o) ? o.count : 0;
    require(count == (value.array() ? value.array()->size() : 0),
            "the list read in place and the tree hold as many elements");
    for (quint64 i = 0; i < count; ++i)
        sameInPlace(list, list.childIndex(o, i), (*value.array())[size_t(i)]);
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries) {
            if (value.find(entry.key) != &entry.value || entry.key.contains(QChar::ReplacementCharacter))
                continue;
            const QByteArray key = entry.key.toUtf8();
            quint64 i = 0;
            while (i < o.count && !list.keyEquals(list.object(list.offsetOf(list.childIndex(o, i))), key))
                ++i;
            require(list.isDictionary(o) && i < o.count, "the list read in place finds each key of the tree");
            sameInPlace(list, list.childIndex(o, o.count + i), entry.value);
        }
}

}  // namespace

void fuzz(const QByteArray& input) {
    if (input.startsWith("bplist00") != kBinary)
        return;  // the other form's harness
    const auto ours = rk::Plist::parse(input, rk::Plist::defaultSizeCap, kNodeCap);
    if (kBinary) {
        const auto list = rk::BinaryPlist::open(input, kNodeCap);
        require(ours.ok() == list.ok(), "the list read in place is accepted as the tree is");
        if (list)
            sameInPlace(**list, (*list)->topIndex(), ours.value());
    }
    if (!ours)
        return;
    const auto [depth, values] = fuzzing::shape(ours.value());
    require(depth <= rk::Plist::maxDepth, "no accepted list nests deeper than the cap");
    require(1 + values <= kNodeCap, "no accepted list comes to more values than the cap");

    if (!kBinary && input.count('<') > 20000)
        return;
    const auto theirs = kBinary ? LibplistReading::binary(input) : LibplistReading::xml(input);
    require(theirs || !kBinary, "libplist accepts the binary lists our reader accepts");
    require(!theirs || LibplistReading::same(ours.value(), *theirs), "libplist reads the same values");
}
