#include "platform/BinaryPlist.h"

#include <QHash>
#include <array>
#include <cstring>
#include <vector>

namespace rk {

namespace {

constexpr quint64 kHeaderSize = 8;    // "bplist00"
constexpr quint64 kTrailerSize = 32;  // sizes, object count, top object, table offset

bool isContainerType(quint8 type) {
    return type == 0xA || type == 0xC || type == 0xD;
}

}  // namespace

BinaryPlist::BinaryPlist(const QByteArray& bytes)
    : bytes_(bytes),
      data_(reinterpret_cast<const uchar*>(bytes_.constData())),
      size_(quint64(bytes_.size())) {}

Result<std::shared_ptr<const BinaryPlist>, PlistError> BinaryPlist::open(const QByteArray& bytes,
                                                                         quint64 nodeCap) {
    std::shared_ptr<BinaryPlist> list(new BinaryPlist(bytes));
    if (auto refused = list->check(nodeCap))
        return fail(*refused);
    return std::shared_ptr<const BinaryPlist>(std::move(list));
}

// ---- Checking -----------------------------------------------------------------

// The header of a data, string or UTF-16 object: its count is in the marker
// or, when the marker says 0xF, in an integer object right after it.
std::optional<BinaryPlist::Object> BinaryPlist::sized(quint64 offset) const {
    Object o;
    o.type = data_[offset] >> 4;
    o.low = data_[offset] & 0x0F;
    o.body = offset + 1;
    if (o.low != 0x0F) {
        o.count = o.low;
        return o;
    }
    const quint64 at = offset + 1;
    if (at >= table_ || (data_[at] >> 4) != 0x1)
        return std::nullopt;
    const quint64 width = quint64(1) << (data_[at] & 0x0F);
    if (width > table_ - (at + 1))
        return std::nullopt;
    o.count = bigEndian(data_ + at + 1, width);
    o.body = at + 1 + width;
    return o;
}

// Whether the object at `offset` (before the table) is a well-formed
// non-container: the form's kinds, sizes and bounds.
bool BinaryPlist::leafIsValid(quint64 offset) const {
    const quint8 type = data_[offset] >> 4;
    const quint8 low = data_[offset] & 0x0F;
    const quint64 room = table_ - (offset + 1);  // bytes between the marker and the table
    switch (type) {
        case 0x0:  // false, true; "null" and fill bytes are no value
            return low == 0x8 || low == 0x9;
        case 0x1:  // integers of 1, 2, 4, 8 or 16 bytes
            return low <= 4 && (quint64(1) << low) <= room;
        case 0x2:  // reals of 4 or 8 bytes
            return (low == 2 || low == 3) && (quint64(1) << low) <= room;
        case 0x3:  // dates: an 8-byte real
            return low == 3 && 8 <= room;
        case 0x4:    // data
        case 0x5: {  // ASCII string
            const auto o = sized(offset);
            return o && o->count <= table_ - o->body;
        }
        case 0x6: {  // UTF-16 string; an empty one is refused, as libplist does
            const auto o = sized(offset);
            return o && o->count > 0 && o->count <= (table_ - o->body) / 2;
        }
        case 0x8: {  // UID of 1 to 16 bytes, within 32 bits
            const quint64 width = quint64(low) + 1;
            return width <= room && bigEndian(data_ + offset + 1, width) <= 0xFFFFFFFFu;
        }
        default:
            return false;
    }
}

// Checks the trailer, then walks the object graph from the top object, depth
// first with an explicit stack, in two passes. The first opens each container
// once and checks every reference and every object reached; it also measures
// the list as a reader that builds a tree would expand it were nothing shared:
// one value per reference. Only when a container is reached twice does the
// second pass follow every reference as often as it occurs, as such a reader
// expands shared containers, and stops as soon as the count passes the value
// cap: a list within the cap is read however often it names a container
// (writers that keep containers by identity write a list named from many
// places once), and the work stays within the cap. The strings and data
// reached, each object once, may hold no more bytes than lie before the
// table: the objects of a list lie apart, and only a table naming the same
// or overlapping bytes under many objects comes to more, which readers that
// decode an object once (or note facts) per object would read again for
// each, a megabyte for every few bytes of table. Nesting beyond
// Plist::maxDepth (a cycle is endless nesting) is refused as too deep. Faults
// of single objects are reported once the walks are through, so the bounds
// are reported first whatever the order of the objects.
std::optional<PlistError> BinaryPlist::check(quint64 nodeCap) {
    const PlistError broken{PlistError::Kind::unreadable, "binary"};
    if (size_ < kHeaderSize + kTrailerSize)
        return broken;
    const uchar* trailer = data_ + size_ - kTrailerSize;
    offsetSize_ = trailer[6];
    refSize_ = trailer[7];
    count_ = bigEndian(trailer + 8, 8);
    const quint64 topIndex = bigEndian(trailer + 16, 8);
    table_ = bigEndian(trailer + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1)
        return broken;
    if (count_ == 0 || topIndex >= count_ || table_ >= size_ - kTrailerSize)
        return broken;
    if (count_ > (size_ - kTrailerSize - table_) / quint64(offsetSize_))
        return broken;

    // One frame per open container, at most Plist::maxDepth of them, kept on
    // the stack.
    struct Frame {
        quint64 refs = 0;   // offset of the container's references
        quint64 items = 0;  // how many references it holds
        quint64 keys = 0;   // how many of them, from the first, are dictionary keys
        quint64 next = 0;   // the next reference to follow
    };
    std::array<Frame, Plist::maxDepth> frames;
    int depth = 0;
    bool faulty = false;
    bool shared = false;
    std::vector<bool> seen;  // by object index, in the first pass
    quint64 values = 1;      // the first pass's measure: the top object and every reference
    quint64 visits = 1;      // the second pass's measure: the top object and every reference followed
    quint64 leafBytes = 0;   // the bytes of the strings and data reached, each once
    const PlistError tooLarge{PlistError::Kind::tooLarge, QString("more than %1 values").arg(nodeCap)};
    const PlistError expandsTooFar{PlistError::Kind::unreadable, "binary expands too far"};

    auto open = [&](quint64 offset) -> std::optional<PlistError> {
        if (depth == Plist::maxDepth)
            return PlistError{PlistError::Kind::tooDeep, {}};
        // The count is in the marker or, as for strings and data, in an
        // integer object right after it.
        const auto o = sized(offset);
        if (!o)
            return broken;
        quint64 items = o->count;
        quint64 keys = 0;
        if (o->type == 0xD) {
            if (items > size_)
                return broken;
            keys = items;
            items *= 2;
        }
        if (items > (table_ - o->body) / quint64(refSize_))
            return broken;
        frames[size_t(depth++)] = Frame{o->body, items, keys, 0};
        return std::nullopt;
    };
    // One reference: containers are opened, anything else is checked here
    // (in the second pass everything was checked already).
    auto follow = [&](quint64 index, bool isKey, bool expanding) -> std::optional<PlistError> {
        if (index >= count_) {
            faulty = true;
            return std::nullopt;
        }
        const quint64 offset = offsetOf(index);
        if (offset >= table_) {
            faulty = true;
            return std::nullopt;
        }
        // An offset into the header is taken as libplist takes it: the bytes
        // there are read as an object like any other.
        const quint8 type = data_[offset] >> 4;
        if (!isContainerType(type)) {
            if (expanding)
                return std::nullopt;
            if (isKey && type != 0x5 && type != 0x6)
                faulty = true;
            // Each object is checked once, however often it is named.
            if (!seen[index]) {
                seen[index] = true;
                const bool valid = leafIsValid(offset);
                faulty = faulty || !valid;
                if (valid && type >= 0x4 && type <= 0x6 &&
                    (leafBytes += sized(offset)->count * (type == 0x6 ? 2 : 1)) > table_)
                    return expandsTooFar;
            }
            return std::nullopt;
        }
        if (isKey)
            faulty = true;
        if (!expanding) {
            if (seen[index]) {
                shared = true;
                return std::nullopt;
            }
            seen[index] = true;
        }
        if (auto refused = open(offset))
            return refused;
        // Each reference of a real list has bytes of its own. More references
        // than bytes means containers share them, which only a list made to
        // take time does.
        if (!expanding && (values += frames[size_t(depth - 1)].items) > size_)
            return expandsTooFar;
        return std::nullopt;
    };
    auto walk = [&](bool expanding) -> std::optional<PlistError> {
        if (auto refused = follow(topIndex, false, expanding))
            return refused;
        while (depth > 0) {
            Frame& frame = frames[size_t(depth - 1)];
            if (frame.next == frame.items) {
                --depth;
                continue;
            }
            const quint64 j = frame.next++;
            const quint64 index = bigEndian(data_ + frame.refs + j * quint64(refSize_), quint64(refSize_));
            if (expanding && ++visits > nodeCap)
                return tooLarge;
            if (auto refused = follow(index, j < frame.keys, expanding))
                return refused;
        }
        return std::nullopt;
    };

    topIndex_ = topIndex;
    top_ = offsetOf(topIndex);
    seen.assign(size_t(count_), false);
    if (auto refused = walk(false))
        return refused;
    if (values > nodeCap)
        return tooLarge;
    if (shared) {
        seen = {};
        if (auto refused = walk(true))
            return refused;
    }
    if (faulty)
        return broken;
    return std::nullopt;
}

// ---- Reading --------------------------------------------------------------------

quint64 BinaryPlist::child(const Object& container, quint64 i) const {
    return offsetOf(childIndex(container, i));
}

std::optional<PlistValue::Kind> BinaryPlist::kind(const Object& o) {
    switch (o.type) {
        case 0x0:
            return PlistValue::Kind::boolean;
        case 0x1:
            return PlistValue::Kind::integer;
        case 0x2:
            return PlistValue::Kind::real;
        case 0x3:
            return PlistValue::Kind::date;
        case 0x4:
            return PlistValue::Kind::data;
        case 0x5:
        case 0x6:
            return PlistValue::Kind::string;
        case 0x8:
            return PlistValue::Kind::uid;
        case 0xA:
        case 0xC:
            return PlistValue::Kind::array;
        case 0xD:
            return PlistValue::Kind::dictionary;
        default:
            return std::nullopt;
    }
}

// UTF-16 text as libplist turns it into UTF-8: a lead surrogate waits for a
// trail surrogate (a second lead drops both), a trail without a lead is
// dropped, and a lead still waiting when other characters come pairs with a
// later trail.
QString BinaryPlist::utf16(const Object& o, bool toFirstNul) const {
    QString out;
    out.reserve(qsizetype(o.count));
    const uchar* at = data_ + o.body;
    bool haveLead = false;
    char32_t pending = 0;
    for (quint64 i = 0; i < o.count; ++i) {
        const char16_t unit = char16_t((at[2 * i] << 8) | at[2 * i + 1]);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (!haveLead)
                pending = 0x10000 + (char32_t(unit & 0x3FF) << 10);
            haveLead = !haveLead;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (haveLead) {
                haveLead = false;
                const char32_t full = pending | (unit & 0x3FF);
                out.append(QChar(QChar::highSurrogate(full)));
                out.append(QChar(QChar::lowSurrogate(full)));
            }
        } else {
            if (unit == 0 && toFirstNul)
                break;
            out.append(QChar(unit));
        }
    }
    return out;
}

QString BinaryPlist::string(const Object& o) const {
    if (o.type == 0x6)
        return utf16(o, false);
    // ASCII strings end at their first NUL, as libplist keeps them; bytes
    // beyond ASCII are read as UTF-8.
    const char* text = reinterpret_cast<const char*>(data_ + o.body);
    return plistText(QByteArrayView(text, qsizetype(::strnlen(text, size_t(o.count)))));
}

bool BinaryPlist::stringEquals(const Object& o, QLatin1String text) const {
    if (o.type == 0x6)
        return utf16(o, false) == text;
    // The text, then the end of the string or a NUL.
    const auto* own = data_ + o.body;
    const quint64 length = quint64(text.size());
    return o.count >= length && std::memcmp(own, text.data(), size_t(length)) == 0 &&
           (o.count == length || own[length] == 0);
}

QString BinaryPlist::keyText(const Object& o) const {
    return o.type == 0x6 ? utf16(o, true) : string(o);
}

bool BinaryPlist::keyEquals(const Object& o, QByteArrayView key) const {
    if (o.type == 0x6)
        return utf16(o, true).toUtf8() == key;
    const auto* own = data_ + o.body;
    const quint64 length = quint64(key.size());
    return o.count >= length && std::memcmp(own, key.data(), size_t(length)) == 0 &&
           (o.count == length || own[length] == 0);
}

qint64 BinaryPlist::integer(const Object& o) const {
    return static_cast<qint64>(bigEndian(data_ + o.body, quint64(1) << o.low));
}

double BinaryPlist::real(const Object& o) const {
    const quint64 bits = bigEndian(data_ + o.body, quint64(1) << o.low);
    if (o.low == 2) {
        float f;
        const quint32 narrow = quint32(bits);
        std::memcpy(&f, &narrow, sizeof f);
        return double(f);
    }
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

quint64 BinaryPlist::uid(const Object& o) const {
    return bigEndian(data_ + o.body, quint64(o.low) + 1);
}

PlistDate BinaryPlist::date(const Object& o) const {
    // The stored real, whole: libplist's accessor splits it into 32-bit
    // seconds and microseconds, which is wrong for negative fractions and
    // undefined outside 1933-2069.
    return PlistDate{real(o)};
}

QByteArray BinaryPlist::data(const Object& o) const {
    return QByteArray(reinterpret_cast<const char*>(data_ + o.body), qsizetype(o.count));
}

// ---- The value tree -----------------------------------------------------------

namespace {

class Converter {
public:
    // `bytes`: the list's size; every object lies below it.
    Converter(const BinaryPlist& list, quint64 bytes) : list_(list), named_(size_t(bytes), false) {}

    std::optional<PlistValue> convert(quint64 offset, int depth) {
        if (depth > Plist::maxDepth)
            return std::nullopt;
        const BinaryPlist::Object o = list_.object(offset);
        switch (o.type) {
            case 0x0:
                return PlistValue(o.low == 0x9);
            case 0x1:
                return PlistValue(list_.integer(o));
            case 0x2:
                return PlistValue(list_.real(o));
            case 0x3:
                return PlistValue(list_.date(o));
            case 0x4:
            case 0x5:
            case 0x6:
                return leaf(offset, o);
            case 0x8:
                return PlistValue(PlistUid{list_.uid(o)});
            case 0xA:
            case 0xC:
                return array(o, depth);
            case 0xD:
                return dictionary(o, depth);
            default:
                return std::nullopt;
        }
    }

private:
    // A string, data or key is kept once read when it is long or named a
    // second time: a list may name one object from each of its references,
    // and each would decode it, and hold a copy, of its own (a 4 MiB list
    // naming one string of 64 characters four million times took 780 MB).
    // Short ones named once are not looked up again.
    static constexpr quint64 kShort = 64;

    bool keep(quint64 offset, const BinaryPlist::Object& o) {
        if (o.count > kShort || named_[size_t(offset)])
            return true;
        named_[size_t(offset)] = true;
        return false;
    }

    PlistValue leaf(quint64 offset, const BinaryPlist::Object& o) {
        auto read = [&] { return o.type == 0x4 ? PlistValue(list_.data(o)) : PlistValue(list_.string(o)); };
        if (!keep(offset, o))
            return read();
        if (auto it = leaves_.constFind(offset); it != leaves_.constEnd())
            return *it;
        return *leaves_.insert(offset, read());
    }

    std::optional<PlistValue> array(const BinaryPlist::Object& o, int depth) {
        PlistValue::Array items;
        items.reserve(size_t(o.count));
        for (quint64 i = 0; i < o.count; ++i) {
            auto value = convert(list_.child(o, i), depth + 1);
            if (!value)
                return std::nullopt;
            items.push_back(std::move(*value));
        }
        return PlistValue(std::move(items));
    }

    std::optional<PlistValue> dictionary(const BinaryPlist::Object& o, int depth) {
        PlistValue::Dictionary entries;
        entries.reserve(size_t(o.count));
        for (quint64 i = 0; i < o.count; ++i) {
            auto value = convert(list_.child(o, o.count + i), depth + 1);
            if (!value)
                return std::nullopt;
            entries.push_back(PlistEntry{key(list_.child(o, i)), std::move(*value)});
        }
        return PlistValue(std::move(entries));
    }

    // Keys end at their first NUL. They repeat throughout a list (every
    // archived object has "$class") and are mostly one shared object: one
    // QString per key object saves an allocation per entry. Past the first
    // few thousand, only long keys and keys named again are kept.
    QString key(quint64 offset) {
        if (auto it = keys_.constFind(offset); it != keys_.constEnd())
            return *it;
        const BinaryPlist::Object o = list_.object(offset);
        QString text = list_.keyText(o);
        if (keys_.size() < 4096 || keep(offset, o))
            keys_.insert(offset, text);
        return text;
    }

    const BinaryPlist& list_;
    QHash<quint64, QString> keys_;
    QHash<quint64, PlistValue> leaves_;  // long or shared strings and data, by offset
    std::vector<bool> named_;            // by offset: a short leaf or key read once already
};

}  // namespace

std::optional<PlistValue> BinaryPlist::toValue(quint64 offset) const {
    Converter converter(*this, size_);
    return converter.convert(offset, 0);
}

}  // namespace rk
