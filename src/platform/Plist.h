#pragma once
// Property lists as plain values. Both forms are read by our own readers
// (platform/BinaryPlist.h, platform/PlistXml.h), so callers never touch
// libplist nodes or their lifetimes, and no library builds a tree from a file
// anyone may have written; libplist only writes lists we built. Keyed
// archives need the UID type: binary lists carry it natively, and in XML it
// is the one-key dictionary {"CF$UID": n}, which the XML reader turns into a UID.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

#include "platform/Result.h"

namespace rk {

// A reference into a keyed archive's "$objects".
struct PlistUid {
    quint64 index = 0;
    friend bool operator==(const PlistUid&, const PlistUid&) = default;
};

// A date as property lists store it: seconds since 2001-01-01 00:00:00 UTC.
struct PlistDate {
    double secondsSince2001 = 0;
    // Invalid for a value no calendar date stands for (not finite, or
    // millions of years away).
    QDateTime toDateTime() const;
    friend bool operator==(const PlistDate&, const PlistDate&) = default;
};

struct PlistEntry;

class PlistValue {
public:
    enum class Kind { dictionary, array, string, integer, real, boolean, data, date, uid };
    using Array = std::vector<PlistValue>;
    // Entries in the order the file holds them.
    using Dictionary = std::vector<PlistEntry>;

    PlistValue();  // an empty dictionary
    PlistValue(Dictionary d);
    PlistValue(Array a);
    PlistValue(QString s);
    PlistValue(const char* s);
    PlistValue(qint64 i);
    PlistValue(int i);
    PlistValue(double r);
    PlistValue(bool b);
    PlistValue(QByteArray d);
    PlistValue(PlistDate d);
    PlistValue(PlistUid u);

    Kind kind() const;

    // Each accessor answers nullptr / none when the value is of another kind.
    const Dictionary* dictionary() const;
    const Array* array() const;
    const QString* string() const;
    std::optional<qint64> integer() const;  // integers as signed 64-bit
    std::optional<double> real() const;
    std::optional<bool> boolean() const;
    const QByteArray* data() const;
    std::optional<PlistDate> date() const;
    std::optional<quint64> uid() const;

    // Dictionary lookup; nullptr when this is no dictionary or the key is absent.
    const PlistValue* find(const QString& key) const;
    const PlistValue* find(QLatin1String key) const;

    friend bool operator==(const PlistValue& a, const PlistValue& b);

private:
    std::variant<Dictionary, Array, QString, qint64, double, bool, QByteArray, PlistDate, PlistUid> v_;
};

struct PlistEntry {
    QString key;
    PlistValue value;
    friend bool operator==(const PlistEntry&, const PlistEntry&) = default;
};

// UTF-8 bytes of a property list as text, as libplist keeps them: a leading
// byte-order mark is part of the text (Qt's UTF-8 reading alone drops it).
QString plistText(QByteArrayView utf8);

struct PlistError {
    enum class Kind {
        tooLarge,    // over the size cap; not handed to the parser at all
        unreadable,  // not a well-formed binary or XML property list
        tooDeep,     // nesting beyond what the reader follows
        file,        // the file could not be opened or read
    };
    Kind kind = Kind::unreadable;
    QString detail;
    friend bool operator==(const PlistError&, const PlistError&) = default;
};

struct Plist {
    // Large enough for any real store or job file, small enough that a
    // corrupt or hostile file cannot make the parser build a huge tree.
    static constexpr qint64 defaultSizeCap = qint64(64) * 1024 * 1024;
    // The XML form takes several times its size to read (its text as UTF-16
    // in the XML reader's buffer, again in a value), and no real list in it
    // comes near this: one beyond it is refused as too large whatever the
    // caller's cap.
    static constexpr qint64 xmlSizeCap = qint64(8) * 1024 * 1024;
    // How many values (containers, their elements and keys, counted as often
    // as shared containers repeat them) a list may come to. Beyond it the
    // list is refused as too large before any tree is built.
    static constexpr quint64 defaultNodeCap = quint64(1) << 22;
    // Containers nested deeper than this are refused rather than followed.
    static constexpr int maxDepth = 512;

    // Binary or XML, told apart by the binary header.
    static Result<PlistValue, PlistError> parse(const QByteArray& bytes, qint64 sizeCap = defaultSizeCap,
                                                quint64 nodeCap = defaultNodeCap);
    // Reads the file at `diskPath` (checking its size first) and parses it.
    static Result<PlistValue, PlistError> readFile(const QString& diskPath, qint64 sizeCap = defaultSizeCap,
                                                   quint64 nodeCap = defaultNodeCap);

    // Writers, used for fixtures and by anything that builds a property list
    // in memory. UIDs are written natively in binary and as {"CF$UID": n} in XML.
    static QByteArray toBinary(const PlistValue& value);
    static QByteArray toXml(const PlistValue& value);
};

}  // namespace rk
