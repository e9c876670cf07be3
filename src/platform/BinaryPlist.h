#pragma once
// The binary property-list form ("bplist00"), read in place.
//
// Opening checks the trailer and every object reachable from the top one,
// without recursion: each object must lie wholly before the offset table and
// be of a kind the form defines, each reference must name an object,
// dictionary keys must be strings. These rules are those libplist applies to
// the same bytes. On top of them, nesting, the number of values, the
// expansion of shared containers and the bytes of the strings and data
// reached (each object once) are bounded, which libplist does not do: a
// list within the bounds is accepted or refused whichever reader is asked.
// After that objects are decoded only when asked for, straight from the
// bytes: reading a few values of a large list costs little more than
// looking at them.

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1String>
#include <QString>
#include <memory>
#include <optional>

#include "platform/Plist.h"
#include "platform/Result.h"

namespace rk {

class BinaryPlist {
public:
    // An object's header, decoded from its marker byte (and the count that
    // follows it for large objects).
    struct Object {
        quint8 type = 0;    // the marker's high nibble
        quint8 low = 0;     // the marker's low nibble
        quint64 count = 0;  // bytes, UTF-16 units, elements or dictionary entries
        quint64 body = 0;   // offset of what follows the header
    };

    static bool looksBinary(const QByteArray& bytes) { return bytes.startsWith("bplist00"); }
    // Checks the whole list as described above, with at most `nodeCap`
    // values once expanded. The bytes are shared, not copied.
    static Result<std::shared_ptr<const BinaryPlist>, PlistError> open(
        const QByteArray& bytes, quint64 nodeCap = Plist::defaultNodeCap);

    // Objects are named by the offset of their marker; only offsets handed
    // out by top() and child() are valid.
    quint64 top() const { return top_; }
    Object object(quint64 offset) const;
    // The object the i-th reference of a container names; a dictionary's
    // references are its keys, then its values.
    quint64 child(const Object& container, quint64 i) const;
    // The same by index in the object table, for readers that note facts
    // per object: indices run below objectCount(), offsetOf() gives an
    // object's offset, and only indices handed out by topIndex() and
    // childIndex() name checked objects.
    quint64 childIndex(const Object& container, quint64 i) const;
    quint64 topIndex() const { return topIndex_; }
    quint64 objectCount() const { return count_; }
    quint64 offsetOf(quint64 index) const;

    static std::optional<PlistValue::Kind> kind(const Object& o);
    bool isString(const Object& o) const { return o.type == 0x5 || o.type == 0x6; }
    bool isDictionary(const Object& o) const { return o.type == 0xD; }
    bool isArray(const Object& o) const { return o.type == 0xA || o.type == 0xC; }

    // Each of these expects an object of its kind.
    QString string(const Object& o) const;
    bool stringEquals(const Object& o, QLatin1String text) const;
    // A dictionary key's text, and whether it is `key`: keys end at their first NUL.
    QString keyText(const Object& o) const;
    bool keyEquals(const Object& o, QByteArrayView key) const;
    qint64 integer(const Object& o) const;
    double real(const Object& o) const;
    quint64 uid(const Object& o) const;
    PlistDate date(const Object& o) const;
    QByteArray data(const Object& o) const;

    // The value of the object at `offset` as a value tree. A string, data
    // or key named from many places is read at most twice, its copy shared.
    std::optional<PlistValue> toValue(quint64 offset) const;

private:
    // A big-endian unsigned number of `size` bytes. Numbers wider than eight
    // bytes keep their last eight, as libplist reads them.
    static quint64 bigEndian(const uchar* at, quint64 size);
    explicit BinaryPlist(const QByteArray& bytes);
    std::optional<PlistError> check(quint64 nodeCap);
    bool leafIsValid(quint64 offset) const;
    std::optional<Object> sized(quint64 offset) const;
    QString utf16(const Object& o, bool toFirstNul) const;

    QByteArray bytes_;
    const uchar* data_ = nullptr;
    quint64 size_ = 0;
    quint64 table_ = 0;     // offset of the offset table: every object lies before it
    quint64 count_ = 0;     // number of objects
    quint64 top_ = 0;       // offset of the top object
    quint64 topIndex_ = 0;  // and its index
    int offsetSize_ = 1;
    int refSize_ = 1;
};

// Inline: a reader calls these for every reference it follows. bigEndian
// always: the compiler otherwise may call it from the check's loop.

Q_ALWAYS_INLINE quint64 BinaryPlist::bigEndian(const uchar* at, quint64 size) {
    // The widths lists use for offsets and references, without a loop.
    switch (size) {
        case 1:
            return at[0];
        case 2:
            return quint64(at[0]) << 8 | at[1];
        case 3:
            return quint64(at[0]) << 16 | quint64(at[1]) << 8 | at[2];
        case 4:
            return quint64(at[0]) << 24 | quint64(at[1]) << 16 | quint64(at[2]) << 8 | at[3];
        default:
            break;
    }
    if (size > 8) {
        at += size - 8;
        size = 8;
    }
    quint64 v = 0;
    for (quint64 i = 0; i < size; ++i)
        v = (v << 8) | at[i];
    return v;
}

inline quint64 BinaryPlist::offsetOf(quint64 index) const {
    return bigEndian(data_ + table_ + index * quint64(offsetSize_), quint64(offsetSize_));
}

inline quint64 BinaryPlist::childIndex(const Object& container, quint64 i) const {
    return bigEndian(data_ + container.body + i * quint64(refSize_), quint64(refSize_));
}

inline BinaryPlist::Object BinaryPlist::object(quint64 offset) const {
    Object o;
    o.type = data_[offset] >> 4;
    o.low = data_[offset] & 0x0F;
    o.body = offset + 1;
    switch (o.type) {
        case 0x4:
        case 0x5:
        case 0x6:
        case 0xA:
        case 0xC:
        case 0xD:
            if (o.low == 0x0F) {
                const quint64 width = quint64(1) << (data_[offset + 1] & 0x0F);
                o.count = bigEndian(data_ + offset + 2, width);
                o.body = offset + 2 + width;
            } else {
                o.count = o.low;
            }
            break;
        default:
            break;
    }
    return o;
}

}  // namespace rk
