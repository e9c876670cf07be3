#include "platform/Plist.h"

#include <plist/plist.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/BinaryPlist.h"

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

// libplist 2.2 follows nesting by recursion, when it parses and when it
// frees a tree, so a small XML file of deeply nested containers exhausts the
// stack inside the library. The nesting of <array>/<dict> elements (outside
// comments and CDATA) is checked here first, without recursion, so such files
// are refused as values. The binary reader bounds nesting itself.
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

}  // namespace

Result<PlistDocument, PlistError> PlistDocument::parse(const QByteArray& bytes, qint64 sizeCap) {
    if (bytes.size() > sizeCap)
        return fail(PlistError{PlistError::Kind::tooLarge, QString("%1 bytes").arg(bytes.size())});
    if (bytes.isEmpty())
        return fail(PlistError{PlistError::Kind::unreadable, "empty"});
    PlistDocument document;
    if (BinaryPlist::looksBinary(bytes)) {
        auto list = BinaryPlist::open(bytes);
        if (!list)
            return fail(list.error());
        document.binary_ = std::move(list).value();
        return document;
    }
    if (auto refused = checkXmlShape(bytes))
        return fail(*refused);
    plist_t root = nullptr;
    plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    // libplist reports every failure the same way: no root.
    if (!root)
        return fail(PlistError{PlistError::Kind::unreadable, "xml"});
    document.xml_ = std::shared_ptr<void>(root, PlistFree());
    return document;
}

PlistView PlistDocument::root() const {
    if (binary_)
        return PlistView(binary_.get(), binary_->top());
    return PlistView(xml_.get());
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
plist_t nodeOf(const void* node) {
    return static_cast<plist_t>(const_cast<void*>(node));
}
}  // namespace

bool PlistView::isXmlUid() const {
    if (form_ != Form::xml || plist_get_node_type(nodeOf(node_)) != PLIST_DICT ||
        plist_dict_get_size(nodeOf(node_)) != 1)
        return false;
    plist_t index = plist_dict_get_item(nodeOf(node_), "CF$UID");
    if (!index || plist_get_node_type(index) != PLIST_UINT)
        return false;
    uint64_t v = 0;
    plist_get_uint_val(index, &v);
    return static_cast<qint64>(v) >= 0;
}

std::optional<PlistValue::Kind> PlistView::kind() const {
    if (form_ == Form::binary)
        return BinaryPlist::kind(binary()->object(offset_));
    if (form_ == Form::none)
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
    if (form_ == Form::binary) {
        const auto o = binary()->object(offset_);
        return binary()->isString(o) ? std::optional<QString>(binary()->string(o)) : std::nullopt;
    }
    if (form_ == Form::none || plist_get_node_type(nodeOf(node_)) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(nodeOf(node_), &length);
    return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

bool PlistView::stringEquals(QLatin1String text) const {
    if (form_ == Form::binary) {
        const auto o = binary()->object(offset_);
        return binary()->isString(o) && binary()->stringEquals(o, text);
    }
    if (form_ == Form::none || plist_get_node_type(nodeOf(node_)) != PLIST_STRING)
        return false;
    uint64_t length = 0;
    const char* own = plist_get_string_ptr(nodeOf(node_), &length);
    return own && length == uint64_t(text.size()) && std::memcmp(own, text.data(), size_t(length)) == 0;
}

std::optional<qint64> PlistView::integer() const {
    if (form_ == Form::binary) {
        const auto o = binary()->object(offset_);
        return o.type == 0x1 ? std::optional<qint64>(binary()->integer(o)) : std::nullopt;
    }
    if (form_ == Form::none || plist_get_node_type(nodeOf(node_)) != PLIST_UINT)
        return std::nullopt;
    uint64_t v = 0;
    plist_get_uint_val(nodeOf(node_), &v);
    return static_cast<qint64>(v);
}

std::optional<double> PlistView::real() const {
    if (form_ == Form::binary) {
        const auto o = binary()->object(offset_);
        return o.type == 0x2 ? std::optional<double>(binary()->real(o)) : std::nullopt;
    }
    if (form_ == Form::none || plist_get_node_type(nodeOf(node_)) != PLIST_REAL)
        return std::nullopt;
    double v = 0;
    plist_get_real_val(nodeOf(node_), &v);
    return v;
}

std::optional<bool> PlistView::boolean() const {
    if (form_ == Form::binary) {
        const auto o = binary()->object(offset_);
        return o.type == 0x0 ? std::optional<bool>(o.low == 0x9) : std::nullopt;
    }
    if (form_ == Form::none || plist_get_node_type(nodeOf(node_)) != PLIST_BOOLEAN)
        return std::nullopt;
    uint8_t v = 0;
    plist_get_bool_val(nodeOf(node_), &v);
    return v != 0;
}

std::optional<quint64> PlistView::uid() const {
    if (form_ == Form::binary) {
        const auto o = binary()->object(offset_);
        return o.type == 0x8 ? std::optional<quint64>(binary()->uid(o)) : std::nullopt;
    }
    if (form_ == Form::none)
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
    if (form_ == Form::binary) {
        const BinaryPlist& list = *binary();
        const auto o = list.object(offset_);
        if (!list.isDictionary(o))
            return PlistView();
        // The first entry of that key, as libplist finds it.
        const QByteArrayView wanted(key);
        for (quint64 i = 0; i < o.count; ++i)
            if (list.keyEquals(list.object(list.child(o, i)), wanted))
                return PlistView(&list, list.child(o, o.count + i));
        return PlistView();
    }
    if (form_ == Form::none || plist_get_node_type(nodeOf(node_)) != PLIST_DICT)
        return PlistView();
    return PlistView(plist_dict_get_item(nodeOf(node_), key));
}

std::vector<PlistView> PlistView::elements() const {
    std::vector<PlistView> out;
    if (form_ == Form::binary) {
        const BinaryPlist& list = *binary();
        const auto o = list.object(offset_);
        if (!list.isArray(o))
            return out;
        out.reserve(size_t(o.count));
        for (quint64 i = 0; i < o.count; ++i)
            out.push_back(PlistView(&list, list.child(o, i)));
        return out;
    }
    if (form_ == Form::none || plist_get_node_type(nodeOf(node_)) != PLIST_ARRAY)
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
        out.push_back(PlistView(child));
    }
    std::free(it);
    return out;
}

std::optional<PlistValue> PlistView::toValue() const {
    if (form_ == Form::binary)
        return binary()->toValue(offset_);
    if (form_ == Form::none)
        return std::nullopt;
    XmlConverter converter;
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
