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
#include <memory>
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
class BinaryPlist;

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

// A view of one node of a parsed property list, read in place: nothing is
// copied until a value is asked for. The binary form is read from its bytes,
// the XML form from the value tree its reader built. Cheap to copy; valid
// only while the PlistDocument it came from lives. A default (or "nothing")
// view answers none / nothing to every question.
class PlistView {
public:
    PlistView() = default;

    bool isNull() const { return form_ == Form::none; }
    std::optional<PlistValue::Kind> kind() const;  // a UID in its XML form is a uid
    bool isDictionary() const { return kind() == PlistValue::Kind::dictionary; }
    bool isArray() const { return kind() == PlistValue::Kind::array; }

    std::optional<QString> string() const;
    // Whether this is the string `text`, without copying it.
    bool stringEquals(QLatin1String text) const;
    std::optional<qint64> integer() const;
    std::optional<double> real() const;
    std::optional<bool> boolean() const;
    std::optional<quint64> uid() const;

    // Dictionary lookup; nothing when this is no dictionary or the key is absent.
    PlistView find(const char* key) const;
    // Array elements in order; empty for anything but an array.
    std::vector<PlistView> elements() const;
    // How many elements an array has; 0 for anything else.
    quint64 count() const;
    // Equal for two views of one object of one document, whatever road led
    // to it; lets a reader resolve each shared object once.
    quint64 identity() const { return form_ == Form::binary ? offset_ : quint64(quintptr(node_)); }

    // A deep copy as a value tree (Plist::maxDepth bounds the nesting).
    std::optional<PlistValue> toValue() const;

private:
    friend class PlistDocument;
    enum class Form : quint8 { none, xml, binary };
    // A value of the XML form's tree.
    explicit PlistView(const PlistValue* value) : node_(value), form_(value ? Form::xml : Form::none) {}
    // An object of the binary form, named by its offset.
    PlistView(const BinaryPlist* list, quint64 offset) : node_(list), offset_(offset), form_(Form::binary) {}
    const BinaryPlist* binary() const { return static_cast<const BinaryPlist*>(node_); }
    const PlistValue* xml() const { return static_cast<const PlistValue*>(node_); }
    const void* node_ = nullptr;
    quint64 offset_ = 0;
    Form form_ = Form::none;
};

// A parsed property list, with the same checks as Plist::parse. Lets hot
// paths read the few values they need without building the value tree.
class PlistDocument {
public:
    static Result<PlistDocument, PlistError> parse(const QByteArray& bytes,
                                                   qint64 sizeCap = Plist::defaultSizeCap,
                                                   quint64 nodeCap = Plist::defaultNodeCap);
    PlistView root() const;

private:
    PlistDocument() = default;
    std::shared_ptr<const PlistValue> xml_;      // the XML form, read into a value tree
    std::shared_ptr<const BinaryPlist> binary_;  // the binary form, read in place
};

}  // namespace rk
