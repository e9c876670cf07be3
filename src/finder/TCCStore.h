#pragma once
// Reader of the two privacy databases ("TCC.db"), read-only. Each call opens,
// reads and closes its own connection; nothing is kept between calls.

#include <QByteArray>
#include <QHashFunctions>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "finder/StoreError.h"
#include "platform/FileProbe.h"
#include "platform/Result.h"
#include "platform/SystemPaths.h"

namespace rk {

// One row of the table `access`.
struct TCCRow {
    enum class DB { user, system };

    QString client;  // a bundle identifier, or a program path when clientType is 1
    qint64 clientType = 0;
    QString service;  // such as "kTCCServiceAccessibility"
    qint64 authValue = 0;
    DB db = DB::system;

    bool isPath() const { return clientType == 1; }

    // "user" or "system".
    static QString rawValue(DB db);
    // Exactly "user" or "system"; anything else gives none.
    static std::optional<DB> dbFromRawValue(const QString& raw);

    friend bool operator==(const TCCRow&, const TCCRow&) = default;
};

size_t qHash(const TCCRow& row, size_t seed = 0);

struct TCCStore {
    // Logical paths of the system's and the person's database.
    static QString systemPath(const SystemPaths& paths = SystemPaths::current());
    static QString userPath(const SystemPaths& paths = SystemPaths::current());
    // "service", "client", "client_type", "auth_value".
    static const QSet<QString>& requiredColumns();

    // Bounds on what one database may cost: a database is a file anyone may
    // have written. Something other than a regular file (a pipe, on which
    // SQLite's open would wait for ever, a device, a folder) gives
    // "unreadable (not a regular file)", a larger file "unreadable (too
    // large)", both before SQLite opens it. So does what stands beside it
    // under the names of its rollback journal, WAL and shared-memory file,
    // which SQLite opens by name: "unreadable (TCC.db-journal not a regular
    // file)", "unreadable (TCC.db-wal too large)"; nothing there is fine.
    // What is put at any of these names later, when SQLite opens it again,
    // is opened without waiting and, when no regular file, not at all: the
    // read then fails as SQLite fails without the file.
    // More rows give "unknown format (too many rows)", a longer value
    // "unreadable (step 18)", a slower read "unreadable (too slow)".
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;
    static constexpr int maxRows = 100'000;
    static constexpr int maxValueLength = 1024 * 1024;
    static constexpr std::chrono::milliseconds timeLimit{1000};

    // Whether the person's database opens for reading: the cheap half of the
    // Full Disk Access probe. Opens a file descriptor only, never SQLite.
    static bool canRead(const SystemPaths& paths = SystemPaths::current(),
                        const FileProbe& probe = FileProbe::current());

    // Rows of the system database followed by the person's. `services` absent
    // means every row; present keeps only rows whose service is in it.
    static Result<QList<TCCRow>, StoreError> read(const std::optional<QSet<QString>>& services = std::nullopt,
                                                  const SystemPaths& paths = SystemPaths::current(),
                                                  const FileProbe& probe = FileProbe::current());

    // The second way of opening a database, tried when the plain read-only
    // open cannot open it: "file:" + the path percent-encoded for a URL path
    // + "?mode=ro&immutable=1", opened with read-only and URI (65). The path
    // is escaped so that "?", "#" and "%" in a folder name stay part of it.
    static QByteArray immutableUri(const QString& diskPath);
    static constexpr int immutableOpenFlags = 65;  // SQLITE_OPEN_READONLY | SQLITE_OPEN_URI

private:
    static Result<QList<TCCRow>, StoreError> readOne(const QString& diskPath, TCCRow::DB db,
                                                     const std::optional<QSet<QString>>& services,
                                                     const FileProbe& probe);
};

}  // namespace rk
