// A binary property list, read as a tree and in place. What our reader
// accepts, libplist (which the program used to read these with) must accept
// too and read as the same values; only lists our reader has bounded reach
// libplist, which follows any nesting and expands shared containers. The
// accepted tree stays within the nesting and value caps, and the in-place
// view finds what the tree holds.
#include <plist/plist.h>

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "FuzzInput.h"
#include "platform/Plist.h"

using fuzzing::require;
using rk::PlistValue;

namespace {

// A cap small enough that fuzzed inputs of a few kilobytes reach it, and
// large enough for the deepest nesting allowed.
constexpr quint64 kNodeCap = 1024;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, PlistFree>;

// Reals agree bit for bit (so 0 and -0 differ); any NaN equals any NaN.
bool sameReal(double a, double b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Two of our values, reals as above.
bool sameValue(const PlistValue& a, const PlistValue& b) {
    if (a.kind() != b.kind())
        return false;
    if (a.real() || a.date())
        return sameReal(a.real().value_or(0), b.real().value_or(0)) &&
               sameReal(a.date().value_or(rk::PlistDate{}).secondsSince2001,
                        b.date().value_or(rk::PlistDate{}).secondsSince2001);
    if (const auto* items = a.array())
        return items->size() == b.array()->size() &&
               std::equal(items->begin(), items->end(), b.array()->begin(), sameValue);
    if (const auto* entries = a.dictionary())
        return entries->size() == b.dictionary()->size() &&
               std::equal(entries->begin(), entries->end(), b.dictionary()->begin(),
                          [](const rk::PlistEntry& x, const rk::PlistEntry& y) {
                              return x.key == y.key && sameValue(x.value, y.value);
                          });
    return a == b;
}

// libplist's date accessor gives whole seconds and microseconds, cut to 32
// bits; the stored real is what it writes, whole, into a list of its own.
double libplistDate(plist_t date) {
    Node copy(plist_copy(date));
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(copy.get(), &out, &length);
    // The top object follows the 8-byte header: marker 0x33, then the real.
    require(out && length > 17 && quint8(out[8]) == 0x33, "libplist writes a date as an 8-byte real");
    const quint64 bits = qFromBigEndian<quint64>(out + 9);
    plist_to_bin_free(out);
    double seconds;
    std::memcpy(&seconds, &bits, sizeof seconds);
    return seconds;
}

// Text as the program turns libplist's UTF-8 into it, which drops a leading
// byte-order mark: ours keeps one that a UTF-16 string starts with, and only
// that mark may differ. An ASCII string ends at its first NUL, a UTF-16 one
// keeps every unit.
bool sameText(const QString& ours, plist_t theirs) {
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(theirs, &length);
    return QString::fromUtf8(text, qsizetype(length)) ==
           (ours.startsWith(QChar::ByteOrderMark) ? ours.mid(1) : ours);
}

// A key as a C string, so ending at its first NUL as ours do (libplist's own
// accessor asserts on a UTF-16 key that holds one); a key that is not
// UTF-8 cannot be written back, and is not compared.
bool sameKey(const QString& ours, plist_t theirs) {
    if (ours.contains(QChar::ReplacementCharacter))
        return true;
    const QByteArray key = ours.toUtf8();
    return plist_key_val_compare(theirs, key.constData()) == 0 ||
           plist_key_val_compare(theirs, ("\xEF\xBB\xBF" + key).constData()) == 0;
}

bool same(const PlistValue& ours, plist_t theirs) {
    switch (ours.kind()) {
        case PlistValue::Kind::dictionary: {
            if (plist_get_node_type(theirs) != PLIST_DICT ||
                plist_dict_get_size(theirs) != ours.dictionary()->size())
                return false;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(theirs, &it);
            bool equal = it != nullptr;
            for (const rk::PlistEntry& entry : *ours.dictionary()) {
                plist_t value = nullptr;
                plist_dict_next_item(theirs, it, nullptr, &value);
                equal = equal && value && same(entry.value, value) &&
                        sameKey(entry.key, plist_dict_item_get_key(value));
            }
            std::free(it);
            return equal;
        }
        case PlistValue::Kind::array: {
            if (plist_get_node_type(theirs) != PLIST_ARRAY ||
                plist_array_get_size(theirs) != ours.array()->size())
                return false;
            for (uint32_t i = 0; i < ours.array()->size(); ++i)
                if (!same((*ours.array())[i], plist_array_get_item(theirs, i)))
                    return false;
            return true;
        }
        case PlistValue::Kind::string:
            return plist_get_node_type(theirs) == PLIST_STRING && sameText(*ours.string(), theirs);
        case PlistValue::Kind::integer: {
            uint64_t v = 0;
            plist_get_uint_val(theirs, &v);
            return plist_get_node_type(theirs) == PLIST_UINT && qint64(v) == *ours.integer();
        }
        case PlistValue::Kind::real: {
            double v = 0;
            plist_get_real_val(theirs, &v);
            return plist_get_node_type(theirs) == PLIST_REAL && sameReal(v, *ours.real());
        }
        case PlistValue::Kind::boolean: {
            uint8_t v = 0;
            plist_get_bool_val(theirs, &v);
            return plist_get_node_type(theirs) == PLIST_BOOLEAN && (v != 0) == *ours.boolean();
        }
        case PlistValue::Kind::data: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(theirs, &length);
            return plist_get_node_type(theirs) == PLIST_DATA &&
                   QByteArray::fromRawData(bytes, qsizetype(length)) == *ours.data();
        }
        case PlistValue::Kind::date:
            return plist_get_node_type(theirs) == PLIST_DATE &&
                   sameReal(libplistDate(theirs), ours.date()->secondsSince2001);
        case PlistValue::Kind::uid: {
            uint64_t v = 0;
            plist_get_uid_val(theirs, &v);
            return plist_get_node_type(theirs) == PLIST_UID && v == *ours.uid();
        }
    }
    return false;
}

// The containers on the deepest path, and every value counted as the cap
// counts them: the top one, and each element, key and value of a container.
struct Shape {
    int depth = 0;
    quint64 values = 1;
};
void measure(const PlistValue& value, int level, Shape& shape) {
    const bool container = value.array() || value.dictionary();
    shape.depth = std::max(shape.depth, level + (container ? 1 : 0));
    if (const auto* items = value.array())
        for (const PlistValue& item : *items) {
            ++shape.values;
            measure(item, level + 1, shape);
        }
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries) {
            shape.values += 2;
            measure(entry.value, level + 1, shape);
        }
}

// The view answers as the tree: each kind and leaf, each element, and for
// each key the first entry of that key.
void sameView(const rk::PlistView& view, const PlistValue& value) {
    require(view.kind() == value.kind(), "the view and the tree see the same kind");
    require(view.string() == (value.string() ? std::optional<QString>(*value.string()) : std::nullopt) &&
                view.integer() == value.integer() && view.boolean() == value.boolean() &&
                view.uid() == value.uid() && sameReal(view.real().value_or(0), value.real().value_or(0)),
            "the view and the tree read the same leaf");
    if (const auto* items = value.array()) {
        const auto elements = view.elements();
        require(elements.size() == items->size() && view.count() == items->size(),
                "the view and the tree hold as many elements");
        for (size_t i = 0; i < items->size(); ++i)
            sameView(elements[i], (*items)[i]);
    }
    if (const auto* entries = value.dictionary())
        for (const rk::PlistEntry& entry : *entries) {
            if (entry.key.contains(QChar::ReplacementCharacter))
                continue;  // a key that is not UTF-8 cannot be asked for
            const auto found = view.find(entry.key.toUtf8().constData()).toValue();
            require(found && sameValue(*found, *value.find(entry.key)), "the view finds a key's first entry");
        }
}

}  // namespace

void fuzz(const QByteArray& input) {
    if (!input.startsWith("bplist00"))
        return;  // the XML form has a harness of its own
    const auto parsed = rk::Plist::parse(input, rk::Plist::defaultSizeCap, kNodeCap);
    if (!parsed)
        return;
    Shape shape;
    measure(parsed.value(), 0, shape);
    require(shape.depth <= rk::Plist::maxDepth, "no accepted list nests deeper than the cap");
    require(shape.values <= kNodeCap, "no accepted list comes to more values than the cap");

    plist_t root = nullptr;
    plist_from_bin(input.constData(), uint32_t(input.size()), &root);
    Node theirs(root);
    require(root != nullptr, "libplist accepts what our reader accepts");
    require(same(parsed.value(), root), "libplist reads the same values");

    const auto document = rk::PlistDocument::parse(input, rk::Plist::defaultSizeCap, kNodeCap);
    require(document.ok(), "the document accepts what the tree accepts");
    sameView(document->root(), parsed.value());
}
