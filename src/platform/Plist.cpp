#include "platform/Plist.h"

#include <plist/plist.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTimeZone>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace rk {

// ---- PlistDate ------------------------------------------------------------

QDateTime PlistDate::toDateTime() const {
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return epoch.addMSecs(qint64(std::llround(secondsSince2001 * 1000.0)));
}

// ---- PlistValue -----------------------------------------------------------

PlistValue::PlistValue() : v_(Dictionary{}) {}
PlistValue::PlistValue(Dictionary d) : v_(std::move(d)) {}
PlistValue::PlistValue(Array a) : v_(std::move(a)) {}
PlistValue::PlistValue(QString s) : v_(std::move(s)) {}
PlistValue::PlistValue(const char* s) : v_(QString::fromUtf8(s)) {}
PlistValue::PlistValue(qint64 i) : v_(i) {}
PlistValue::PlistValue(int i) : v_(qint64(i)) {}
PlistValue::PlistValue(double r) : v_(r) {}
PlistValue::PlistValue(bool b) : v_(b) {}
PlistValue::PlistValue(QByteArray d) : v_(std::move(d)) {}
PlistValue::PlistValue(PlistDate d) : v_(d) {}
PlistValue::PlistValue(PlistUid u) : v_(u) {}

PlistValue::Kind PlistValue::kind() const {
    return static_cast<Kind>(v_.index());
}

const PlistValue::Dictionary* PlistValue::dictionary() const {
    return std::get_if<Dictionary>(&v_);
}
const PlistValue::Array* PlistValue::array() const {
    return std::get_if<Array>(&v_);
}
const QString* PlistValue::string() const {
    return std::get_if<QString>(&v_);
}
const QByteArray* PlistValue::data() const {
    return std::get_if<QByteArray>(&v_);
}

std::optional<qint64> PlistValue::integer() const {
    if (auto p = std::get_if<qint64>(&v_))
        return *p;
    return std::nullopt;
}
std::optional<double> PlistValue::real() const {
    if (auto p = std::get_if<double>(&v_))
        return *p;
    return std::nullopt;
}
std::optional<bool> PlistValue::boolean() const {
    if (auto p = std::get_if<bool>(&v_))
        return *p;
    return std::nullopt;
}
std::optional<PlistDate> PlistValue::date() const {
    if (auto p = std::get_if<PlistDate>(&v_))
        return *p;
    return std::nullopt;
}
std::optional<quint64> PlistValue::uid() const {
    if (auto p = std::get_if<PlistUid>(&v_))
        return p->index;
    return std::nullopt;
}

const PlistValue* PlistValue::find(const QString& key) const {
    const auto* d = dictionary();
    if (!d)
        return nullptr;
    for (const auto& entry : *d)
        if (entry.key == key)
            return &entry.value;
    return nullptr;
}

const PlistValue* PlistValue::find(QLatin1String key) const {
    const auto* d = dictionary();
    if (!d)
        return nullptr;
    for (const auto& entry : *d)
        if (entry.key == key)
            return &entry.value;
    return nullptr;
}

bool operator==(const PlistValue& a, const PlistValue& b) {
    return a.v_ == b.v_;
}

// ---- Reading --------------------------------------------------------------

namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using OwnedNode = std::unique_ptr<void, PlistFree>;

// libplist keeps dictionaries as alternating key and value children; the
// iterator hands out a malloc'd copy of each key.
struct KeyCopy {
    char* text = nullptr;
    ~KeyCopy() { std::free(text); }
};

class Converter {
public:
    explicit Converter(bool fromXml) : fromXml_(fromXml) {}

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
        if (fromXml_ && entries.size() == 1 && entries[0].key == QLatin1String("CF$UID")) {
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

    bool fromXml_;
    bool tooDeep_ = false;
    QHash<QByteArray, QString> keys_;
};

// libplist 2.2 follows nesting by recursion, in its binary parser and when it
// frees a tree, and expands a container each time it is referenced. A small
// file of deeply nested (or multiply referenced) containers therefore
// exhausts the stack or memory inside the library. The shape of the input is
// checked here first, without recursion, so such files are refused as values.

// Nesting of <array>/<dict> elements in XML, outside comments and CDATA.
std::optional<PlistError> checkXmlShape(const QByteArray& bytes) {
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

quint64 bigEndian(const uchar* at, int size) {
    quint64 v = 0;
    for (int i = 0; i < size; ++i)
        v = (v << 8) | at[i];
    return v;
}

// Walks the object graph of a binary list from its top object, depth first
// with an explicit stack. Refuses nesting beyond Plist::maxDepth (a cycle is
// endless nesting) and graphs whose expansion outgrows the file.
std::optional<PlistError> checkBinaryShape(const QByteArray& bytes) {
    const PlistError broken{PlistError::Kind::unreadable, "binary"};
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const quint64 size = quint64(bytes.size());
    if (size < 8 + 32)
        return broken;
    const uchar* trailer = data + size - 32;
    const int offsetSize = trailer[6];
    const int refSize = trailer[7];
    const quint64 count = bigEndian(trailer + 8, 8);
    const quint64 top = bigEndian(trailer + 16, 8);
    const quint64 table = bigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8)
        return broken;
    if (count == 0 || top >= count || table >= size - 32)
        return broken;
    if (count > (size - 32 - table) / quint64(offsetSize))
        return broken;

    auto offsetOf = [&](quint64 index) {
        return bigEndian(data + table + index * quint64(offsetSize), offsetSize);
    };
    auto isContainer = [&](quint64 index) {
        const quint64 offset = offsetOf(index);
        if (offset >= table)
            return false;  // libplist refuses it itself
        const int type = data[offset] >> 4;
        return type == 0xA || type == 0xC || type == 0xD;
    };
    // One frame per open container, at most Plist::maxDepth of them, kept
    // on the stack: the walk allocates nothing.
    struct Frame {
        quint64 refs = 0;   // offset of the container's references
        quint64 items = 0;  // how many references it holds
        quint64 next = 0;   // the next reference to follow
    };
    std::array<Frame, Plist::maxDepth> frames;
    int depth = 0;
    // Every reference followed counts against the budget; only containers
    // are walked further, so a leaf costs a look at its marker.
    const quint64 budget = 4 * size + 4096;
    quint64 visits = 0;
    auto open = [&](quint64 index) -> std::optional<PlistError> {
        if (depth == Plist::maxDepth)
            return PlistError{PlistError::Kind::tooDeep, {}};
        const quint64 offset = offsetOf(index);
        const uchar marker = data[offset];
        quint64 items = marker & 0x0F;
        quint64 refs = offset + 1;
        if (items == 0x0F) {
            if (refs >= table || (data[refs] >> 4) != 0x1)
                return broken;
            const int intSize = 1 << (data[refs] & 0x0F);
            if (intSize > 8 || refs + 1 + quint64(intSize) > table)
                return broken;
            items = bigEndian(data + refs + 1, intSize);
            refs += 1 + quint64(intSize);
        }
        if ((marker >> 4) == 0xD) {
            if (items > size)
                return broken;
            items *= 2;  // keys, then values
        }
        if (items > (table - refs) / quint64(refSize))
            return broken;
        visits += items + 1;
        if (visits > budget)
            return PlistError{PlistError::Kind::unreadable, "binary expands too far"};
        frames[size_t(depth++)] = Frame{refs, items, 0};
        return std::nullopt;
    };
    if (!isContainer(top))
        return std::nullopt;
    if (auto refused = open(top))
        return refused;
    while (depth > 0) {
        Frame& frame = frames[size_t(depth - 1)];
        if (frame.next == frame.items) {
            --depth;
            continue;
        }
        const quint64 child = bigEndian(data + frame.refs + frame.next++ * quint64(refSize), refSize);
        if (child < count && isContainer(child))
            if (auto refused = open(child))
                return refused;
    }
    return std::nullopt;
}

bool looksBinary(const QByteArray& bytes) {
    return bytes.startsWith("bplist00");
}

}  // namespace

Result<PlistDocument, PlistError> PlistDocument::parse(const QByteArray& bytes, qint64 sizeCap) {
    if (bytes.size() > sizeCap)
        return fail(PlistError{PlistError::Kind::tooLarge, QString("%1 bytes").arg(bytes.size())});
    if (bytes.isEmpty())
        return fail(PlistError{PlistError::Kind::unreadable, "empty"});
    const bool binary = looksBinary(bytes);
    if (auto refused = binary ? checkBinaryShape(bytes) : checkXmlShape(bytes))
        return fail(*refused);
    plist_t root = nullptr;
    if (binary)
        plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &root);
    else
        plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    // libplist reports every failure the same way: no root.
    if (!root)
        return fail(PlistError{PlistError::Kind::unreadable, binary ? "binary" : "xml"});
    return PlistDocument(std::shared_ptr<void>(root, PlistFree()), !binary);
}

Result<PlistValue, PlistError> Plist::parse(const QByteArray& bytes, qint64 sizeCap) {
    auto document = PlistDocument::parse(bytes, sizeCap);
    if (!document)
        return fail(document.error());
    auto value = document->root().toValue();
    if (!value)
        return fail(PlistError{PlistError::Kind::tooDeep, QString()});
    return std::move(*value);
}

Result<PlistValue, PlistError> Plist::readFile(const QString& diskPath, qint64 sizeCap) {
    QFile file(diskPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(PlistError{PlistError::Kind::file, file.errorString()});
    // The size is checked before anything is read, so a huge file costs nothing.
    if (file.size() > sizeCap)
        return fail(PlistError{PlistError::Kind::tooLarge, QString("%1 bytes").arg(file.size())});
    const QByteArray bytes = file.read(sizeCap + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(PlistError{PlistError::Kind::file, file.errorString()});
    return parse(bytes, sizeCap);
}

// ---- PlistView --------------------------------------------------------------

namespace {
plist_t nodeOf(void* node) {
    return static_cast<plist_t>(node);
}
}  // namespace

bool PlistView::isXmlUid() const {
    if (!xml_ || plist_get_node_type(nodeOf(node_)) != PLIST_DICT || plist_dict_get_size(nodeOf(node_)) != 1)
        return false;
    plist_t index = plist_dict_get_item(nodeOf(node_), "CF$UID");
    if (!index || plist_get_node_type(index) != PLIST_UINT)
        return false;
    uint64_t v = 0;
    plist_get_uint_val(index, &v);
    return static_cast<qint64>(v) >= 0;
}

std::optional<PlistValue::Kind> PlistView::kind() const {
    if (!node_)
        return std::nullopt;
    switch (plist_get_node_type(nodeOf(node_))) {
        case PLIST_DICT:
            return isXmlUid() ? PlistValue::Kind::uid : PlistValue::Kind::dictionary;
        case PLIST_ARRAY:
            return PlistValue::Kind::array;
        case PLIST_STRING:
            return PlistValue::Kind::string;
        case PLIST_UINT:
            return PlistValue::Kind::integer;
        case PLIST_REAL:
            return PlistValue::Kind::real;
        case PLIST_BOOLEAN:
            return PlistValue::Kind::boolean;
        case PLIST_DATA:
            return PlistValue::Kind::data;
        case PLIST_DATE:
            return PlistValue::Kind::date;
        case PLIST_UID:
            return PlistValue::Kind::uid;
        default:
            return std::nullopt;
    }
}

std::optional<QString> PlistView::string() const {
    if (!node_ || plist_get_node_type(nodeOf(node_)) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(nodeOf(node_), &length);
    return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

bool PlistView::stringEquals(QLatin1String text) const {
    if (!node_ || plist_get_node_type(nodeOf(node_)) != PLIST_STRING)
        return false;
    uint64_t length = 0;
    const char* own = plist_get_string_ptr(nodeOf(node_), &length);
    return own && length == uint64_t(text.size()) && std::memcmp(own, text.data(), size_t(length)) == 0;
}

std::optional<qint64> PlistView::integer() const {
    if (!node_ || plist_get_node_type(nodeOf(node_)) != PLIST_UINT)
        return std::nullopt;
    uint64_t v = 0;
    plist_get_uint_val(nodeOf(node_), &v);
    return static_cast<qint64>(v);
}

std::optional<double> PlistView::real() const {
    if (!node_ || plist_get_node_type(nodeOf(node_)) != PLIST_REAL)
        return std::nullopt;
    double v = 0;
    plist_get_real_val(nodeOf(node_), &v);
    return v;
}

std::optional<bool> PlistView::boolean() const {
    if (!node_ || plist_get_node_type(nodeOf(node_)) != PLIST_BOOLEAN)
        return std::nullopt;
    uint8_t v = 0;
    plist_get_bool_val(nodeOf(node_), &v);
    return v != 0;
}

std::optional<quint64> PlistView::uid() const {
    if (!node_)
        return std::nullopt;
    uint64_t v = 0;
    if (plist_get_node_type(nodeOf(node_)) == PLIST_UID) {
        plist_get_uid_val(nodeOf(node_), &v);
        return v;
    }
    if (!isXmlUid())
        return std::nullopt;
    plist_get_uint_val(plist_dict_get_item(nodeOf(node_), "CF$UID"), &v);
    return v;
}

PlistView PlistView::find(const char* key) const {
    if (!node_ || plist_get_node_type(nodeOf(node_)) != PLIST_DICT)
        return PlistView();
    return PlistView(plist_dict_get_item(nodeOf(node_), key), xml_);
}

std::vector<PlistView> PlistView::elements() const {
    std::vector<PlistView> out;
    if (!node_ || plist_get_node_type(nodeOf(node_)) != PLIST_ARRAY)
        return out;
    out.reserve(plist_array_get_size(nodeOf(node_)));
    // The iterator walks the children in order; indexing by position would
    // walk the list from its head for every element.
    plist_array_iter it = nullptr;
    plist_array_new_iter(nodeOf(node_), &it);
    if (!it)
        return out;
    for (;;) {
        plist_t child = nullptr;
        plist_array_next_item(nodeOf(node_), it, &child);
        if (!child)
            break;
        out.push_back(PlistView(child, xml_));
    }
    std::free(it);
    return out;
}

std::optional<PlistValue> PlistView::toValue() const {
    if (!node_)
        return std::nullopt;
    Converter converter(xml_);
    return converter.convert(nodeOf(node_), 0);
}

// ---- Writing --------------------------------------------------------------

namespace {

plist_t toNode(const PlistValue& value, bool forXml) {
    switch (value.kind()) {
        case PlistValue::Kind::dictionary: {
            plist_t dict = plist_new_dict();
            for (const auto& entry : *value.dictionary())
                plist_dict_set_item(dict, entry.key.toUtf8().constData(), toNode(entry.value, forXml));
            return dict;
        }
        case PlistValue::Kind::array: {
            plist_t arr = plist_new_array();
            for (const auto& item : *value.array())
                plist_array_append_item(arr, toNode(item, forXml));
            return arr;
        }
        case PlistValue::Kind::string:
            return plist_new_string(value.string()->toUtf8().constData());
        case PlistValue::Kind::integer:
            return plist_new_uint(static_cast<uint64_t>(*value.integer()));
        case PlistValue::Kind::real:
            return plist_new_real(*value.real());
        case PlistValue::Kind::boolean:
            return plist_new_bool(*value.boolean() ? 1 : 0);
        case PlistValue::Kind::data:
            return plist_new_data(value.data()->constData(), uint64_t(value.data()->size()));
        case PlistValue::Kind::date: {
            const double s = value.date()->secondsSince2001;
            const double whole = std::floor(s);
            return plist_new_date(int32_t(whole), int32_t(std::llround((s - whole) * 1e6)));
        }
        case PlistValue::Kind::uid:
            if (forXml) {
                // Spelled out, so the written form does not depend on libplist's XML writer.
                plist_t dict = plist_new_dict();
                plist_dict_set_item(dict, "CF$UID", plist_new_uint(*value.uid()));
                return dict;
            }
            return plist_new_uid(*value.uid());
    }
    return plist_new_dict();
}

}  // namespace

QByteArray Plist::toBinary(const PlistValue& value) {
    OwnedNode node(toNode(value, false));
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(node.get()), &out, &length);
    QByteArray bytes(out, qsizetype(length));
    plist_to_bin_free(out);
    return bytes;
}

QByteArray Plist::toXml(const PlistValue& value) {
    OwnedNode node(toNode(value, true));
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(node.get()), &out, &length);
    QByteArray bytes(out, qsizetype(length));
    plist_to_xml_free(out);
    return bytes;
}

}  // namespace rk
