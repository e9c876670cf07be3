#pragma once
// Builds keyed archives the way the system's keyed archiver lays them out:
// "$objects" (index 0 is "$null"), "$top", objects referring to each other by
// UID, classes as {"$classname", "$classes"} dictionaries. On top of the
// general calls it writes the background-task store's object graph: a Storage
// object under "store" whose "itemsByUserIdentifier" is an archived dictionary
// from user identifiers to arrays of ItemRecord objects.
//
// The self-test builds its synthetic stores with it, and the tests and
// benchmarks of the store reader build theirs. Write-only: nothing here reads
// an archive. A writer is a plain value used by one thread at a time.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Plist.h"

namespace rk {

// One ItemRecord of the store.
struct ArchivedItem {
    QString name{};
    qint64 type = 0;
    qint64 disposition = 0;
    std::optional<QString> url{};         // written as an NSURL; the null reference when absent
    std::optional<QString> identifier{};  // the null reference when absent
    bool omitDisposition = false;         // leaves the "disposition" key out
    // Further keys the system's store carries; written only when present.
    std::optional<QString> bundleIdentifier{};
    std::optional<QString> teamIdentifier{};
    std::optional<QString> developerName{};
    std::optional<QString> executablePath{};
    // Raw fields written last: a key already written is replaced, others are added.
    PlistValue::Dictionary extra{};
    // Keys left out altogether (after `extra`).
    QStringList omit{};
};

struct ArchivedUser {
    QString user{};
    QList<ArchivedItem> items{};
};

class KeyedArchiveWriter {
public:
    KeyedArchiveWriter();

    static PlistUid null() { return PlistUid{0}; }

    // Raw object table.
    PlistUid add(PlistValue object);
    PlistUid reserve();  // a slot filled later with set()
    void set(PlistUid slot, PlistValue object);
    qsizetype objectCount() const { return qsizetype(objects_.size()); }

    // Archived values.
    PlistUid string(const QString& text);
    PlistUid classNamed(const QStringList& hierarchy);  // one per class name
    PlistUid object(const QStringList& hierarchy, PlistValue::Dictionary fields);
    PlistUid nsString(const QString& text);  // an archived NSString
    PlistUid url(const QString& relative, PlistUid base = null());
    PlistUid array(const QList<PlistUid>& elements);
    PlistUid dictionary(const QList<PlistUid>& keys, const QList<PlistUid>& objects);

    // The store's object graph.
    PlistUid item(const ArchivedItem& item);
    PlistUid storage(const QList<std::pair<QString, QList<PlistUid>>>& users);
    PlistUid storage(const QList<ArchivedUser>& users);

    void setTop(const QString& key, PlistValue value);

    PlistValue archive() const;
    QByteArray binary() const { return Plist::toBinary(archive()); }
    QByteArray xml() const { return Plist::toXml(archive()); }

    // A whole store archive with "store" at the top, in the binary form the
    // system's archiver writes by default, or as XML.
    enum class Form { binary, xml };
    static QByteArray store(const QList<ArchivedUser>& users, Form form = Form::binary);

private:
    std::vector<PlistValue> objects_;
    PlistValue::Dictionary top_;
    QList<std::pair<QString, PlistUid>> classes_;
};

}  // namespace rk
