#include "platform/Plist.h"

#include <plist/plist.h>

#include <QTimeZone>
#include <cerrno>
#include <algorithm>
#include <cmath>
#include <limits>
#include <cstring>
#include <memory>

#include "platform/BinaryPlist.h"
#include "platform/FileProbe.h"
#include "platform/PlistXml.h"

namespace rk {

// ---- PlistDate ------------------------------------------------------------

QDateTime PlistDate::toDateTime() const {
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    if (!std::isfinite(secondsSince2001) || std::fabs(secondsSince2001) > 1e14)
        return QDateTime();
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

QString plistText(QByteArrayView utf8) {
    if (utf8.startsWith("\xEF\xBB\xBF"))
        return QChar(QChar::ByteOrderMark) + QString::fromUtf8(utf8.sliced(3));
    return QString::fromUtf8(utf8);
}

namespace {

std::optional<PlistError> refusedUpFront(const QByteArray& bytes, qint64 sizeCap) {
    if (!BinaryPlist::looksBinary(bytes))
        sizeCap = std::min(sizeCap, Plist::xmlSizeCap);
    if (bytes.size() > sizeCap)
        return PlistError{PlistError::Kind::tooLarge, QString("%1 bytes").arg(bytes.size())};
    if (bytes.isEmpty())
        return PlistError{PlistError::Kind::unreadable, "empty"};
    return std::nullopt;
}

}  // namespace

Result<PlistValue, PlistError> Plist::parse(const QByteArray& bytes, qint64 sizeCap, quint64 nodeCap) {
    if (auto refused = refusedUpFront(bytes, sizeCap))
        return fail(*refused);
    if (!BinaryPlist::looksBinary(bytes))
        return PlistXml::read(bytes, nodeCap);
    const auto list = BinaryPlist::open(bytes, nodeCap);
    if (!list)
        return fail(list.error());
    auto value = list.value()->toValue(list.value()->top());
    if (!value)
        return fail(PlistError{PlistError::Kind::tooDeep, QString()});
    return std::move(*value);
}

Result<PlistValue, PlistError> Plist::readFile(const QString& diskPath, qint64 sizeCap, quint64 nodeCap) {
    const auto bytes = readWholeFile(diskPath, sizeCap);
    if (!bytes && bytes.error() == EFBIG)
        return fail(PlistError{PlistError::Kind::tooLarge, QString("over %1 bytes").arg(sizeCap)});
    if (!bytes)
        return fail(PlistError{PlistError::Kind::file, QString::fromLocal8Bit(std::strerror(bytes.error()))});
    return parse(bytes.value(), sizeCap, nodeCap);
}

// ---- Writing --------------------------------------------------------------

namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using OwnedNode = std::unique_ptr<void, PlistFree>;

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
            // libplist holds a date as 32-bit seconds since 2001 (1933 to
            // 2069); one beyond, or none at all (NaN), is written as the
            // nearest it can hold rather than wrapped.
            const double s = value.date()->secondsSince2001;
            const double lowest = std::numeric_limits<int32_t>::min();
            const double highest = std::numeric_limits<int32_t>::max();
            if (!(s >= lowest))
                return plist_new_date(int32_t(lowest), 0);
            if (s >= highest)
                return plist_new_date(int32_t(highest), 0);
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
