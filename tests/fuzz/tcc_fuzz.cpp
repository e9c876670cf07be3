// A privacy database: the input is written as the system's database of a
// re-rooted machine, which is then read as the app reads it. The rows read
// are the system's, within the bounds, and exactly the rows of the table
// `access` that have a client and a service, as a plain query of the same
// file finds them (integers whole, in any order), when SQLite finds the file
// whole. The same file as the person's database then adds the same rows,
// marked as the person's.
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <tuple>

#include "FuzzInput.h"
#include "finder/TCCStore.h"

using fuzzing::require;

namespace {

using Row = std::tuple<QString, qint64, QString, qint64>;

QString text(sqlite3_stmt* statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

// Whether a statement's first answer is the text "ok".
bool answersOk(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    const bool ok = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
                    sqlite3_step(statement) == SQLITE_ROW && text(statement, 0) == "ok";
    sqlite3_finalize(statement);
    return ok;
}

// The table's rows with a client and a service, integers whole; none when
// SQLite finds the file damaged. (On a damaged file SQLite's answers can
// change from one read to the next: it then stops early or late.)
std::optional<QList<Row>> plainRows(const QString& file) {
    sqlite3* db = nullptr;
    std::optional<QList<Row>> rows;
    sqlite3_stmt* select = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        answersOk(db, "PRAGMA quick_check") &&
        sqlite3_prepare_v2(db, "SELECT client, client_type, service, auth_value FROM access", -1, &select,
                           nullptr) == SQLITE_OK) {
        rows.emplace();
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(select)) == SQLITE_ROW) {
            const QString client = text(select, 0), service = text(select, 2);
            if (sqlite3_column_type(select, 0) != SQLITE_NULL &&
                sqlite3_column_type(select, 2) != SQLITE_NULL)
                rows->append(
                    {client, sqlite3_column_int64(select, 1), service, sqlite3_column_int64(select, 3)});
        }
        if (step != SQLITE_DONE)
            rows.reset();
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db);
    return rows;
}

}  // namespace

void fuzz(const QByteArray& input) {
    static const fuzzing::FuzzFolder root;
    static const rk::SystemPaths paths = rk::SystemPaths::rerooted(root.path(), "/Users/anna");
    QString db;
    for (const QString& logical : {rk::TCCStore::systemPath(paths), rk::TCCStore::userPath(paths)}) {
        const QString disk = paths.disk(logical);
        for (const char* leftover : {"-journal", "-wal", "-shm"})
            QFile::remove(disk + leftover);
        QFile::remove(disk);
        if (db.isEmpty())
            db = root.write(QDir(root.path()).relativeFilePath(disk), input);
    }
    const auto read = rk::TCCStore::read(std::nullopt, paths);
    if (db.isEmpty() || !read)
        return;
    require(read->size() <= rk::TCCStore::maxRows, "no more rows than the bound");
    QList<Row> rows;
    for (const rk::TCCRow& row : read.value()) {
        require(row.db == rk::TCCRow::DB::system,
                "every row is the system's: the person's database is absent");
        require(row.client.toUtf8().size() <= rk::TCCStore::maxValueLength &&
                    row.service.toUtf8().size() <= rk::TCCStore::maxValueLength,
                "no value longer than the bound");
        rows.append({row.client, row.clientType, row.service, row.authValue});
    }
    auto plain = plainRows(db);
    if (!plain)
        return;
    std::sort(rows.begin(), rows.end());
    std::sort(plain->begin(), plain->end());
    require(rows == *plain, "the rows are the table's rows with a client and a service");

    const QString user = paths.disk(rk::TCCStore::userPath(paths));
    require(!root.write(QDir(root.path()).relativeFilePath(user), input).isEmpty(),
            "the person's database can be laid down");
    const auto both = rk::TCCStore::read(std::nullopt, paths);
    QList<rk::TCCRow> expected = read.value();
    for (rk::TCCRow row : read.value()) {
        row.db = rk::TCCRow::DB::user;
        expected << row;
    }
    require(both && both.value() == expected, "the person's database adds its rows, marked as the person's");
}
