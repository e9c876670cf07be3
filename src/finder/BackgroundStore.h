#pragma once
// Reader of the background-task store: the keyed archive in which macOS
// records login items and background jobs. It finds the newest store file,
// resolves the archive's object references itself and returns plain records.

#include <QByteArray>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "finder/StoreError.h"
#include "platform/FileProbe.h"
#include "platform/Result.h"
#include "platform/SystemPaths.h"

namespace rk {

// One item of the store.
struct BTMRecord {
    QString user;  // the user identifier the item is listed under
    QString name;  // "?" when the item has no text name
    qint64 disposition = 0;
    qint64 type = 0;
    std::optional<QString> url;
    std::optional<QString> path;  // the file-system path of a "file://" url
    std::optional<QString> bundleIdentifier;
    std::optional<QString> teamIdentifier;
    std::optional<QString> developerName;
    std::optional<QString> executablePath;
    std::optional<QString> identifier;

    bool enabled() const { return disposition & 0x1; }
    bool isApp() const { return type & 0x2; }
    bool isAgent() const { return type & 0x8; }
    bool isDaemon() const { return type & 0x10; }
    bool isLegacyPlist() const { return type & 0x10000; }
    // `identifier` after its first "." (16.com.vendor.sync gives com.vendor.sync);
    // none without an identifier or without a dot in it.
    std::optional<QString> label() const;

    friend bool operator==(const BTMRecord&, const BTMRecord&) = default;
};

size_t qHash(const BTMRecord& record, size_t seed = 0);

struct BackgroundStore {
    // The result of one read: the version N of the file read and all records.
    struct Snapshot {
        qint64 version = 0;
        QList<BTMRecord> records;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };

    // The newest store file: its logical path and version N.
    struct StoreFile {
        QString path;
        qint64 version = 0;
        friend bool operator==(const StoreFile&, const StoreFile&) = default;
    };

    // Logical path of the folder that holds the store files.
    static QString folder(const SystemPaths& paths = SystemPaths::current());
    // "disposition", "identifier", "name", "type", "url" (ascending).
    static const QStringList& requiredRecordKeys();
    // A store file beyond this size is refused before it is parsed.
    static constexpr qint64 sizeCap = qint64(64) * 1024 * 1024;
    // Reference chains (a URL relative to a URL, ...) longer than this, and
    // cycles, count as no value.
    static constexpr int maxResolutionDepth = 32;
    // A store listing more records than this is refused ("too many records"),
    // and one whose records would take more memory than this (by an estimate
    // made before each text is built) as "too large": a real store lists a
    // few hundred records of well under a kilobyte each.
    static constexpr qsizetype maxRecords = 100'000;
    static constexpr qint64 recordsMemoryCap = qint64(128) * 1024 * 1024;

    static Result<StoreFile, StoreError> storePath(const SystemPaths& paths = SystemPaths::current(),
                                                   const FileProbe& probe = FileProbe::current());
    // The second half of the Full Disk Access probe: the newest store file
    // exists and opens for reading. Never reads the store.
    static bool canRead(const SystemPaths& paths = SystemPaths::current(),
                        const FileProbe& probe = FileProbe::current());
    static Result<Snapshot, StoreError> read(const SystemPaths& paths = SystemPaths::current(),
                                             const FileProbe& probe = FileProbe::current());
    // Parses the bytes of a store file (or any archive of the same layout).
    // A store lists each item once; one whose lists name more items than the
    // list has distinct objects, or more than maxRecords, is refused ("too
    // many records") before any is built. An item listed again costs its
    // record once, a text named again its copy once, and a large dictionary
    // named again (as a text or a user's list) one walk of its keys.
    static Result<QList<BTMRecord>, StoreError> parse(const QByteArray& data);
    // The records of the person who runs the program: those of the user with
    // the most records whose path lies under `home`.
    static QList<BTMRecord> mine(const QList<BTMRecord>& records,
                                 const QString& home = SystemPaths::current().home());
};

}  // namespace rk
