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
            case PLIST_DATE:
                return PlistValue(PlistDate{PlistXml::dateSeconds(node)});
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

// libplist 2.2 frees a tree by recursion, also on its own error path, so a
// small XML file of deeply nested containers exhausts the stack inside the
// library. The nesting is counted here first, without recursion, and the
// count must never fall below libplist's. Where two tokenizers could read the
// bytes differently the list is refused instead: a tag must end at its first
// '>' however quotes are read (no '<' in a tag, no '<' or '>' in an
// attribute value), container tags carry no attributes, comments and CDATA
// sections must end, and processing instructions and declarations (without an
// internal subset) stand only before the first element. Only an exact closing
// tag counts down.
std::optional<PlistError> PlistXml::checkShape(const QByteArray& bytes, quint64 nodeCap) {
    const PlistError refused{PlistError::Kind::unreadable, "xml"};
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    auto startsWith = [&](const char* at, const char* text) {
        const size_t n = std::strlen(text);
        return size_t(end - at) >= n && std::memcmp(at, text, n) == 0;
    };
    auto find = [&](const char* from, char c) {
        return static_cast<const char*>(std::memchr(from, c, size_t(end - from)));
    };
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    bool prologue = true;
    int depth = 0;
    quint64 elements = 0;
    while (const char* open = find(p, '<')) {
        if (startsWith(open, "<!--") || startsWith(open, "<![CDATA[")) {
            const bool comment = open[2] == '-';
            const QByteArrayView rest(open + (comment ? 4 : 9), end - open - (comment ? 4 : 9));
            const qsizetype close = rest.indexOf(QByteArrayView(comment ? "-->" : "]]>"));
            if (close < 0)
                return refused;
            p = rest.data() + close + 3;
            continue;
        }
        const char* close = find(open, '>');
        if (!close)
            return refused;
        if (startsWith(open, "<?") || startsWith(open, "<!")) {
            const QByteArrayView inside(open + 1, close - open - 1);
            if (!prologue || inside.contains('<') || inside.contains('[') ||
                (open[1] == '?' && close[-1] != '?'))
                return refused;
            p = close + 1;
            continue;
        }
        const bool closing = open[1] == '/';
        const char* name = open + (closing ? 2 : 1);
        const char* nameEnd = name;
        while (nameEnd < close && !isSpace(*nameEnd) && *nameEnd != '/' && *nameEnd != '<')
            ++nameEnd;
        // Between the name and the first '>': no '<', and no quote still open
        // whether quotes are read in pairs of either kind or of one kind only.
        const QByteArrayView rest(nameEnd, close - nameEnd);
        char quote = 0;
        for (const char c : rest) {
            if (quote ? c == quote : (c == '"' || c == '\''))
                quote = quote ? 0 : c;
        }
        if (quote || rest.contains('<') || rest.count('"') % 2 || rest.count('\'') % 2)
            return refused;
        const QByteArrayView tag(name, nameEnd - name);
        const bool container = tag == QByteArrayView("array") || tag == QByteArrayView("dict");
        const QByteArrayView bare = rest.trimmed();
        if (closing) {
            if (container && bare.isEmpty())
                depth = std::max(0, depth - 1);
        } else {
            prologue = false;
            if (++elements > nodeCap)
                return PlistError{PlistError::Kind::tooLarge, QString("more than %1 values").arg(nodeCap)};
            if (container && !bare.isEmpty() && bare != QByteArrayView("/"))
                return refused;
            if (container && bare.isEmpty() && ++depth > Plist::maxDepth)
                return PlistError{PlistError::Kind::tooDeep, {}};
        }
        p = close + 1;
    }
    return std::nullopt;
}

double PlistXml::dateSeconds(void* node) {
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

std::optional<PlistValue> PlistXml::toValue(void* node) {
    XmlConverter converter;
    return converter.convert(static_cast<plist_t>(node), 0);
}

}  // namespace rk
