#include "support/LibplistReading.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rk::test {

std::optional<PlistValue> LibplistReading::xml(const QByteArray& bytes) {
    plist_t root = nullptr;
    plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        return std::nullopt;
    auto read = value(root);
    plist_free(root);
    return read;
}

std::optional<PlistValue> LibplistReading::value(void* node) {
    switch (plist_get_node_type(node)) {
        case PLIST_DICT: {
            PlistValue::Dictionary entries;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t child = nullptr;
                plist_dict_next_item(node, it, &key, &child);
                if (!child)
                    break;
                auto read = value(child);
                entries.push_back({QString::fromUtf8(key), read ? *read : PlistValue()});
                std::free(key);
                if (!read) {
                    std::free(it);
                    return std::nullopt;
                }
            }
            std::free(it);
            if (entries.size() == 1 && entries[0].key == QLatin1String("CF$UID")) {
                if (auto index = entries[0].value.integer(); index && *index >= 0)
                    return PlistValue(PlistUid{quint64(*index)});
            }
            return PlistValue(std::move(entries));
        }
        case PLIST_ARRAY: {
            PlistValue::Array items;
            for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
                auto read = value(plist_array_get_item(node, i));
                if (!read)
                    return std::nullopt;
                items.push_back(std::move(*read));
            }
            return PlistValue(std::move(items));
        }
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            return PlistValue(QString::fromUtf8(text, qsizetype(length)));
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            return PlistValue(static_cast<qint64>(v));
        }
        case PLIST_REAL: {
            double v = 0;
            plist_get_real_val(node, &v);
            return PlistValue(v);
        }
        case PLIST_BOOLEAN: {
            uint8_t v = 0;
            plist_get_bool_val(node, &v);
            return PlistValue(v != 0);
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            return PlistValue(QByteArray(bytes, qsizetype(length)));
        }
        case PLIST_DATE:
            return PlistValue(PlistDate{dateSeconds(node)});
        case PLIST_UID: {
            uint64_t v = 0;
            plist_get_uid_val(node, &v);
            return PlistValue(PlistUid{v});
        }
        default:
            return std::nullopt;
    }
}

double LibplistReading::dateSeconds(void* node) {
    // The binary form carries a date as its 8-byte real, right after the
    // header and the marker 0x33.
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(node), &out, &length);
    double seconds = 0;
    if (out && length >= 17 && quint8(out[8]) == 0x33) {
        quint64 bits = 0;
        for (int i = 9; i < 17; ++i)
            bits = (bits << 8) | quint8(out[i]);
        std::memcpy(&seconds, &bits, sizeof seconds);
    }
    plist_to_bin_free(out);
    return seconds;
}

bool LibplistReading::same(const PlistValue& a, const PlistValue& b) {
    auto bits = [](double x) {
        quint64 u = 0;
        std::memcpy(&u, &x, sizeof x);
        return u;
    };
    if (a.kind() != b.kind())
        return false;
    if (a.real() || a.date())
        return a.real() ? bits(*a.real()) == bits(*b.real())
                        : bits(a.date()->secondsSince2001) == bits(b.date()->secondsSince2001);
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
