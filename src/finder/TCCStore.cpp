#include "finder/TCCStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <utility>

#include "platform/Text.h"

namespace rk {

QString TCCRow::rawValue(DB db) {
    return db == DB::user ? "user" : "system";
}

std::optional<TCCRow::DB> TCCRow::dbFromRawValue(const QString& raw) {
    if (raw == QLatin1String("user"))
        return DB::user;
    if (raw == QLatin1String("system"))
        return DB::system;
    return std::nullopt;
}

size_t qHash(const TCCRow& row, size_t seed) {
    return qHashMulti(seed, row.client, row.clientType, row.service, row.authValue, int(row.db));
}

QString TCCStore::systemPath(const SystemPaths& paths) {
    return paths.systemTCC();
}
QString TCCStore::userPath(const SystemPaths& paths) {
    return paths.userTCC();
}

const QSet<QString>& TCCStore::requiredColumns() {
    static const QSet<QString> columns{"service", "client", "client_type", "auth_value"};
    return columns;
}

bool TCCStore::canRead(const SystemPaths& paths, const FileProbe& probe) {
    return canOpenForReading(paths.disk(userPath(paths)), probe).ok();
}

namespace {

// Owns one read-only connection so that every way out closes it.
class Connection {
public:
    ~Connection() { close(); }
    sqlite3** out() { return &db_; }
    sqlite3* get() const { return db_; }
    void close() {
        if (db_)
            sqlite3_close_v2(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
        : ok_(sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK) {}
    ~Statement() { sqlite3_finalize(stmt_); }
    bool ok() const { return ok_ && stmt_; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_;
};

QString columnText(sqlite3_stmt* stmt, int column, bool* isNull) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    *isNull = text == nullptr;
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

static_assert(TCCStore::immutableOpenFlags == (SQLITE_OPEN_READONLY | SQLITE_OPEN_URI));

// The first read of the database, which opening defers: the schema version
// from its header.
int firstRead(sqlite3* db) {
    Statement version(db, "PRAGMA schema_version");
    return version.ok() ? sqlite3_step(version.get()) : sqlite3_errcode(db);
}

// The words for an errno of checkRegularFile that makes a file unreadable.
QString regularFileFault(int error) {
    switch (error) {
        case EINVAL:
            return "not a regular file";
        case EFBIG:
            return "too large";
        default:
            return "errno " + QString::number(error);
    }
}

// What stands beside the database under the names of its rollback journal,
// WAL and shared-memory file, which SQLite opens by name, waiting on a pipe,
// at the first read (and at later ones): nothing, or a regular file within
// the cap. The names are SQLite's own, taken from the open connection: they
// follow a link at the database's path to the file it leads to.
Result<Unit, StoreError> checkSideFiles(sqlite3* db) {
    const sqlite3_filename main = sqlite3_db_filename(db, "main");
    const QString sides[] = {QFile::decodeName(sqlite3_filename_journal(main)),
                             QFile::decodeName(sqlite3_filename_wal(main)), QFile::decodeName(main) + "-shm"};
    for (const QString& side : sides) {
        const auto regular = checkRegularFile(side, TCCStore::maxFileBytes);
        const int error = regular ? 0 : regular.error();
        if (error == 0 || error == ENOENT)
            continue;
        return fail(StoreError::unreadable(QFileInfo(side).fileName() + " " + regularFileFault(error)));
    }
    return Unit{};
}

// SQLite's unix file systems open the database and the files beside it by
// name: the database when the connection opens, the journal, the WAL and the
// shared-memory file when a read begins, which is at every statement. A pipe
// put at one of those names after any check would keep that open waiting for
// ever. All of these opens, the shared-memory file's too, which does not pass
// through the file system's xOpen, go through one table of system calls that
// the unix file systems share. Its "open" is replaced once for the process:
// while a GuardedOpens lives, every open on its thread is made without
// blocking and refused, as a file that cannot be opened (CANTOPEN), when it
// is no regular file; the descriptor kept blocks again. On other threads, and
// outside a read, opens go on as before, so other SQLite users see no change.
using OpenCall = int (*)(const char*, int, int);
std::atomic<OpenCall> plainOpen{nullptr};
thread_local bool guarding = false;

int guardedOpen(const char* path, int flags, int mode) {
    const OpenCall plain = plainOpen.load(std::memory_order_acquire);
    if (!guarding)
        return plain(path, flags, mode);
    const int fd = plain(path, flags | O_NONBLOCK, mode);
    if (fd < 0)
        return fd;
    struct stat info {};
    const int status = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || status < 0 ||
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

class GuardedOpens {
public:
    GuardedOpens() : outer_(std::exchange(guarding, installed())) {}
    ~GuardedOpens() { guarding = outer_; }
    GuardedOpens(const GuardedOpens&) = delete;
    GuardedOpens& operator=(const GuardedOpens&) = delete;

private:
    // Puts guardedOpen in the table once for the process. SQLite's random
    // numbers are seeded first: their seed is read from a device, which a
    // guarded open would refuse.
    static bool installed() {
        static const bool done = [] {
            sqlite3_vfs* const posix = sqlite3_vfs_find("unix");
            if (!posix || posix->iVersion < 3 || !posix->xGetSystemCall || !posix->xSetSystemCall)
                return false;
            unsigned char seed = 0;
            sqlite3_randomness(1, &seed);
            plainOpen.store(reinterpret_cast<OpenCall>(posix->xGetSystemCall(posix, "open")),
                            std::memory_order_release);
            return plainOpen.load() &&
                   posix->xSetSystemCall(posix, "open", reinterpret_cast<sqlite3_syscall_ptr>(guardedOpen)) ==
                       SQLITE_OK;
        }();
        return done;
    }

    bool outer_;
};

// Opening read-only can fail with CANTOPEN where the journal or the folder
// may not be written, and so can the first read of a database in WAL mode
// whose shared-memory file cannot be made; the immutable URI form then reads
// the file as it is. A file beside the database that SQLite must not open
// fails the read before the first read opens it.
Result<int, StoreError> openReadOnly(const QString& diskPath, Connection& connection) {
    int rc = sqlite3_open_v2(diskPath.toUtf8().constData(), connection.out(), SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        if (auto sides = checkSideFiles(connection.get()); !sides)
            return fail(sides.error());
        if (firstRead(connection.get()) == SQLITE_CANTOPEN)
            rc = SQLITE_CANTOPEN;
    }
    if (rc != SQLITE_CANTOPEN)
        return rc;
    connection.close();
    return sqlite3_open_v2(TCCStore::immutableUri(diskPath).constData(), connection.out(),
                           TCCStore::immutableOpenFlags, nullptr);
}

using Deadline = std::chrono::steady_clock::time_point;

// SQLite's progress callback: non-zero interrupts the statement.
int pastDeadline(void* deadline) {
    return Deadline::clock::now() > *static_cast<const Deadline*>(deadline) ? 1 : 0;
}

// Whether `access` is a plain table. A view, or a virtual table, would run
// whatever query its author wrote (an endless one, or one of endless rows)
// when the rows are read.
bool accessIsATable(sqlite3* db) {
    Statement schema(db,
                     "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'access' COLLATE NOCASE "
                     "AND sql NOT LIKE 'CREATE VIRTUAL%'");
    return schema.ok() && sqlite3_step(schema.get()) == SQLITE_ROW;
}

QSet<QString> accessColumns(sqlite3* db) {
    QSet<QString> names;
    if (!accessIsATable(db))
        return names;
    Statement pragma(db, "PRAGMA table_info(access)");
    if (!pragma.ok())
        return names;
    while (sqlite3_step(pragma.get()) == SQLITE_ROW) {
        bool isNull = false;
        const QString name = columnText(pragma.get(), 1, &isNull);
        if (!isNull)
            names.insert(name);
    }
    return names;
}

// Why the database is not a regular file SQLite may open: an errno of
// checkRegularFile. Other errors than its own come from a file changed since
// the first open.
StoreError notARegularFile(int error) {
    if (error == EPERM || error == EACCES)
        return StoreError::noAccess();
    return StoreError::unreadable(regularFileFault(error));
}

}  // namespace

QByteArray TCCStore::immutableUri(const QString& diskPath) {
    // Letters, digits and these marks may stand unescaped in a URL path.
    const QByteArray encoded = QUrl::toPercentEncoding(diskPath, "/!$&'()*+,;=:@-._~");
    return "file:" + (encoded.isEmpty() ? diskPath.toUtf8() : encoded) + "?mode=ro&immutable=1";
}

Result<QList<TCCRow>, StoreError> TCCStore::readOne(const QString& diskPath, TCCRow::DB db,
                                                    const std::optional<QSet<QString>>& services,
                                                    const FileProbe& probe) {
    if (auto probed = canOpenForReading(diskPath, probe); !probed)
        return fail(probed.error());
    if (auto regular = checkRegularFile(diskPath, maxFileBytes); !regular)
        return fail(notARegularFile(regular.error()));

    const GuardedOpens guarded;
    Connection connection;
    const auto opened = openReadOnly(diskPath, connection);
    if (!opened)
        return fail(opened.error());
    if (const int rc = *opened; rc != SQLITE_OK) {
        if (rc == SQLITE_PERM || rc == SQLITE_AUTH)
            return fail(StoreError::noAccess());
        return fail(StoreError::unreadable("sqlite " + QString::number(rc)));
    }
    sqlite3_busy_timeout(connection.get(), 2000);
    // The file may be anyone's: no function its schema names runs unless it
    // is harmless, no value may be longer than a row could sensibly hold, and
    // a read that takes too long is broken off.
    sqlite3_db_config(connection.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(connection.get(), SQLITE_LIMIT_LENGTH, maxValueLength);
    Deadline deadline = Deadline::clock::now() + timeLimit;
    sqlite3_progress_handler(connection.get(), 1000, pastDeadline, &deadline);

    const QSet<QString> names = accessColumns(connection.get());
    if (names.isEmpty()) {
        const int code = sqlite3_errcode(connection.get());
        if (code == SQLITE_AUTH || code == SQLITE_PERM)
            return fail(StoreError::noAccess());
        // A file SQLite could not get at just now (a journal it may not roll
        // back, one refused above, a lock) says nothing of its format.
        if (code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_IOERR ||
            code == SQLITE_BUSY || code == SQLITE_LOCKED)
            return fail(StoreError::unreadable("sqlite " + QString::number(code)));
        return fail(StoreError::format("no access table"));
    }
    QStringList missing;
    for (const QString& column : requiredColumns())
        if (!names.contains(column))
            missing.append(column);
    if (!missing.isEmpty()) {
        std::sort(missing.begin(), missing.end(), Text::less);
        return fail(StoreError::format("missing columns " + missing.join(',')));
    }

    Statement select(connection.get(), "SELECT client, client_type, service, auth_value FROM access");
    if (!select.ok())
        return fail(StoreError::unreadable("prepare " + QString::number(sqlite3_errcode(connection.get()))));

    QList<TCCRow> rows;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
        bool clientNull = false, serviceNull = false;
        QString client = columnText(select.get(), 0, &clientNull);
        if (clientNull)
            continue;
        QString service = columnText(select.get(), 2, &serviceNull);
        if (serviceNull)
            continue;
        if (services && !services->contains(service))
            continue;
        if (rows.size() == maxRows)
            return fail(StoreError::format("too many rows"));
        // Whole: read as 32 bits, a client type of 2^32 + 1 would be a path.
        rows.append(TCCRow{std::move(client), sqlite3_column_int64(select.get(), 1), std::move(service),
                           sqlite3_column_int64(select.get(), 3), db});
    }
    if (step == SQLITE_INTERRUPT)
        return fail(StoreError::unreadable("too slow"));
    if (step != SQLITE_DONE)
        return fail(StoreError::unreadable("step " + QString::number(step)));
    return rows;
}

Result<QList<TCCRow>, StoreError> TCCStore::read(const std::optional<QSet<QString>>& services,
                                                 const SystemPaths& paths, const FileProbe& probe) {
    auto system = readOne(paths.disk(systemPath(paths)), TCCRow::DB::system, services, probe);
    if (!system)
        return fail(system.error());
    auto user = readOne(paths.disk(userPath(paths)), TCCRow::DB::user, services, probe);
    if (!user) {
        // The person's database may be missing or unreadable on its own; the
        // system rows still stand. A wrong format or no access does not.
        if (user.error().kind == StoreError::Kind::unreadable)
            return system;
        return fail(user.error());
    }
    QList<TCCRow> rows = std::move(system).value();
    rows.append(user.value());
    return rows;
}

}  // namespace rk
