#include "support/LibplistReading.h"

#include <plist/plist.h>

#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cstdlib>

namespace rk::test {

namespace {

// A key's text as libplist matches it: a C string, up to its first NUL.
// Read through comparisons, as handing the key out (plist_dict_next_item)
// aborts on a binary key whose UTF-16 text holds a NUL.
QString keyText(plist_t key) {
    QByteArray known;
    for (;;) {
        QByteArray probe = known + '\0';
        int found = 0;
        for (int lo = 1, hi = 255; lo <= hi && !found;) {
            const int mid = (lo + hi) / 2;
            probe[known.size()] = char(mid);
            const int order = plist_key_val_compare_with_size(key, probe.constData(), size_t(probe.size()));
            if (order == 0)
                found = mid;
            else if (order < 0)
                hi = mid - 1;
            else
                lo = mid + 1;
        }
        if (!found)
            return plistText(known);
        known.append(char(found));
    }
}

template <typename T>
T scalar(plist_t node, void (*get)(plist_t, T*)) {
    T value{};
    get(node, &value);
    return value;
}

QByteArray bytesOf(plist_t node, const char* (*get)(plist_t, uint64_t*)) {
    uint64_t length = 0;
    const char* bytes = get(node, &length);
    return QByteArray(bytes, qsizetype(length));
}

// A date's seconds since 2001 as libplist holds them, read from its binary
// form: the accessor converts them to 32 bits unchecked, which is undefined
// outside 1933-2069.
double dateSeconds(plist_t node) {
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &out, &length);
    const bool real = out && length >= 17 && quint8(out[8]) == 0x33;
    const double seconds = real ? std::bit_cast<double>(qFromBigEndian<quint64>(out + 9)) : qQNaN();
    plist_to_bin_free(out);
    return seconds;
}

// The XML form of a keyed-archive reference reads as a UID when `xml`.
std::optional<PlistValue> value(plist_t node, bool xml) {
    switch (plist_get_node_type(node)) {
        case PLIST_DICT: {
            PlistValue::Dictionary entries;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            std::optional<PlistValue> read = PlistValue();
            for (plist_t child = nullptr; read && (plist_dict_next_item(node, it, nullptr, &child), child);
                 child = nullptr)
                if ((read = value(child, xml)))
                    entries.push_back({keyText(plist_dict_item_get_key(child)), *read});
            std::free(it);
            if (!read)
                return std::nullopt;
            if (xml && entries.size() == 1 && entries[0].key == QLatin1String("CF$UID") &&
                entries[0].value.integer().value_or(-1) >= 0)
                return PlistValue(PlistUid{quint64(*entries[0].value.integer())});
            return PlistValue(std::move(entries));
        }
        case PLIST_ARRAY: {
            PlistValue::Array items;
            for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
                auto read = value(plist_array_get_item(node, i), xml);
                if (!read)
                    return std::nullopt;
                items.push_back(std::move(*read));
            }
            return PlistValue(std::move(items));
        }
        case PLIST_STRING:
            return PlistValue(plistText(bytesOf(node, plist_get_string_ptr)));
        case PLIST_UINT:
            return PlistValue(static_cast<qint64>(scalar<uint64_t>(node, plist_get_uint_val)));
        case PLIST_REAL:
            return PlistValue(scalar<double>(node, plist_get_real_val));
        case PLIST_BOOLEAN:
            return PlistValue(scalar<uint8_t>(node, plist_get_bool_val) != 0);
        case PLIST_DATA:
            return PlistValue(bytesOf(node, plist_get_data_ptr));
        case PLIST_DATE:
            return PlistValue(PlistDate{dateSeconds(node)});
        case PLIST_UID:
            return PlistValue(PlistUid{scalar<uint64_t>(node, plist_get_uid_val)});
        default:
            return std::nullopt;
    }
}

// The tree libplist read (none when it refused the list), which is then freed.
std::optional<PlistValue> read(plist_t root, bool xml) {
    auto tree = value(root, xml);
    plist_free(root);
    return tree;
}

}  // namespace

std::optional<PlistValue> LibplistReading::xml(const QByteArray& bytes) {
    plist_t root = nullptr;
    plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    return read(root, true);
}

// The buffer handed over is padded, as libplist reads a few bytes beyond
// numbers of odd widths.
std::optional<PlistValue> LibplistReading::binary(const QByteArray& bytes) {
    const QByteArray padded = bytes + QByteArray(16, '\0');
    plist_t root = nullptr;
    plist_from_bin(padded.constData(), uint32_t(bytes.size()), &root);
    return read(root, false);
}

bool LibplistReading::same(const PlistValue& a, const PlistValue& b) {
    const auto bits = [](const PlistValue& v) {
        return std::bit_cast<quint64>(v.real() ? *v.real() : v.date()->secondsSince2001);
    };
    if (a.kind() != b.kind())
        return false;
    if (a.real() || a.date())
        return bits(a) == bits(b);
    if (a.string())
        return *a.string() == *b.string();
    if (const auto* x = a.array())
        return std::equal(x->begin(), x->end(), b.array()->begin(), b.array()->end(), same);
    if (const auto* x = a.dictionary())
        return std::equal(x->begin(), x->end(), b.dictionary()->begin(), b.dictionary()->end(),
                          [](const PlistEntry& p, const PlistEntry& q) {
                              return p.key == q.key && same(p.value, q.value);
                          });
    return a == b;
}

}  // namespace rk::test
