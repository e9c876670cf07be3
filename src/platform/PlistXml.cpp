#include "platform/PlistXml.h"

#include <plist/plist.h>

#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rk {

namespace {

// libplist keeps dictionaries as alternating key and value children; the
// iterator hands out a malloc'd copy of each key.
struct KeyCopy {
    char* text = nullptr;
    ~KeyCopy() { std::free(text); }
};

// libplist's tree of an XML list as a value tree.
class XmlConverter {
public:
    std::optional<PlistValue> convert(plist_t node, int depth) {
        if (depth > Plist::maxDepth) {
            tooDeep_ = true;
            return std::nullopt;
        }
        switch (plist_get_node_type(node)) {
            case PLIST_DICT:
                return dictionary(node, depth);
            case PLIST_ARRAY:
                return array(node, depth);
            case PLIST_STRING:
            case PLIST_KEY: {
                uint64_t length = 0;
                const char* text = plist_get_string_ptr(node, &length);
                if (!text) {
                    char* copy = nullptr;
                    plist_get_string_val(node, &copy);
                    QString s = QString::fromUtf8(copy ? copy : "");
                    std::free(copy);
                    return PlistValue(std::move(s));
                }
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
                return PlistValue(bytes ? QByteArray(bytes, qsizetype(length)) : QByteArray());
            }
            case PLIST_DATE: {
                int32_t sec = 0, usec = 0;
                plist_get_date_val(node, &sec, &usec);
                return PlistValue(PlistDate{double(sec) + double(usec) / 1e6});
            }
            case PLIST_UID: {
                uint64_t v = 0;
                plist_get_uid_val(node, &v);
                return PlistValue(PlistUid{v});
            }
            default:
                return std::nullopt;
        }
    }

    bool tooDeep() const { return tooDeep_; }

private:
    // Keys repeat throughout a list (every archived object has "$class");
    // one shared QString per distinct key saves an allocation per entry.
    QString keyText(const char* text) {
        if (!text)
            return QString();
        const QByteArray raw = QByteArray::fromRawData(text, qsizetype(std::strlen(text)));
        if (auto it = keys_.constFind(raw); it != keys_.constEnd())
            return *it;
        QString key = QString::fromUtf8(raw);
        if (keys_.size() < 4096)
            keys_.insert(QByteArray(raw.constData(), raw.size()), key);
        return key;
    }

    std::optional<PlistValue> dictionary(plist_t node, int depth) {
        PlistValue::Dictionary entries;
        entries.reserve(plist_dict_get_size(node));
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return PlistValue(std::move(entries));
        for (;;) {
            KeyCopy key;
            plist_t child = nullptr;
            plist_dict_next_item(node, it, &key.text, &child);
            if (!child)
                break;
            auto value = convert(child, depth + 1);
            if (!value) {
                std::free(it);
                return std::nullopt;
            }
            entries.push_back(PlistEntry{keyText(key.text), std::move(*value)});
        }
        std::free(it);
        // The XML form of a keyed-archive reference.
        if (entries.size() == 1 && entries[0].key == QLatin1String("CF$UID")) {
            if (auto index = entries[0].value.integer(); index && *index >= 0)
                return PlistValue(PlistUid{quint64(*index)});
        }
        return PlistValue(std::move(entries));
    }

    std::optional<PlistValue> array(plist_t node, int depth) {
        PlistValue::Array items;
        items.reserve(plist_array_get_size(node));
        // The iterator walks the children in order; indexing by position
        // would walk the list from its head for every element.
        plist_array_iter it = nullptr;
        plist_array_new_iter(node, &it);
        if (!it)
            return PlistValue(std::move(items));
        for (;;) {
            plist_t child = nullptr;
            plist_array_next_item(node, it, &child);
            if (!child)
                break;
            auto value = convert(child, depth + 1);
            if (!value) {
                std::free(it);
                return std::nullopt;
            }
            items.push_back(std::move(*value));
        }
        std::free(it);
        return PlistValue(std::move(items));
    }

    bool tooDeep_ = false;
    QHash<QByteArray, QString> keys_;
};

}  // namespace

// libplist 2.2 follows nesting by recursion, when it parses and when it
// frees a tree, so a small XML file of deeply nested containers exhausts the
// stack inside the library. The nesting of <array>/<dict> elements (outside
// comments and CDATA) is checked here first, without recursion, so such files
// are refused as values. The binary reader bounds nesting itself.
std::optional<PlistError> PlistXml::checkShape(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    auto startsWith = [&](const char* at, const char* text) {
        const size_t n = std::strlen(text);
        return size_t(end - at) >= n && std::memcmp(at, text, n) == 0;
    };
    auto skipPast = [&](const char* at, const char* terminator) {
        const QByteArrayView rest(at, end - at);
        const qsizetype found = rest.indexOf(QByteArrayView(terminator));
        return found < 0 ? end : at + found + qsizetype(std::strlen(terminator));
    };
    int depth = 0;
    while (p < end) {
        const char* open = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
        if (!open)
            break;
        if (startsWith(open, "<!--")) {
            p = skipPast(open + 4, "-->");
        } else if (startsWith(open, "<![CDATA[")) {
            p = skipPast(open + 9, "]]>");
        } else if (startsWith(open, "</array") || startsWith(open, "</dict")) {
            depth = std::max(0, depth - 1);
            p = open + 2;
        } else if (startsWith(open, "<array") || startsWith(open, "<dict")) {
            const char* close = static_cast<const char*>(std::memchr(open, '>', size_t(end - open)));
            if (!close)
                break;
            if (close[-1] != '/' && ++depth > Plist::maxDepth)
                return PlistError{PlistError::Kind::tooDeep, {}};
            p = close + 1;
        } else {
            p = open + 1;
        }
    }
    return std::nullopt;
}

std::optional<PlistValue> PlistXml::toValue(void* node) {
    XmlConverter converter;
    return converter.convert(static_cast<plist_t>(node), 0);
}

}  // namespace rk
