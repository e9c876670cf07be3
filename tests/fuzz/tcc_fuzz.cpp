// A privacy database: the input is written as the system's database of a
// re-rooted machine, which is then read as the app reads it. The rows read
// are the system's, within the bounds, and exactly the rows of the table
// `access` that have a client and a service, as a plain query of the same
// file finds them (integers whole, in any order), when SQLite finds the file
// whole. The same file as the person's database then adds the same rows,
// marked as the person's.
#include <sqlite3.h>

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

// The table's rows with a client and a service, integers whole, sorted; none
// when SQLite finds the file damaged (its answers on a damaged file can
// change from one read to the next: it then stops early or late), also where
// an index no longer matches its table, which only the full check sees.
std::optional<QList<Row>> plainRows(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    bool whole = false;
    const auto sawOk = [](void* ok, int, char** values, char**) {
        *static_cast<bool*>(ok) = values[0] && QByteArray(values[0]) == "ok";
        return 0;
    };
    std::optional<QList<Row>> rows;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, "PRAGMA integrity_check", sawOk, &whole, nullptr) == SQLITE_OK && whole &&
        sqlite3_prepare_v2(db,
                           "SELECT client, client_type, service, auth_value FROM access"
                           " WHERE client IS NOT NULL AND service IS NOT NULL",
                           -1, &select, nullptr) == SQLITE_OK) {
        rows.emplace();
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(select)) == SQLITE_ROW)
            rows->append({text(select, 0), sqlite3_column_int64(select, 1), text(select, 2),
                          sqlite3_column_int64(select, 3)});
        if (step == SQLITE_DONE)
            std::sort(rows->begin(), rows->end());
        else
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
    const QString system = paths.disk(rk::TCCStore::systemPath(paths));
    const QString user = paths.disk(rk::TCCStore::userPath(paths));
    for (const QString& disk : {system, user})
        for (const char* leftover : {"", "-journal", "-wal", "-shm"})
            QFile::remove(disk + leftover);
    root.write(system, input);
    const auto read = rk::TCCStore::read(std::nullopt, paths);
    if (!read)
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
    std::sort(rows.begin(), rows.end());
    const auto plain = plainRows(system);
    if (!plain)
        return;
    require(rows == *plain, "the rows are the table's rows with a client and a service");

    root.write(user, input);
    QList<rk::TCCRow> expected = read.value();
    for (rk::TCCRow row : read.value()) {
        row.db = rk::TCCRow::DB::user;
        expected << row;
    }
    const auto both = rk::TCCStore::read(std::nullopt, paths);
    require(both && both.value() == expected, "the person's database adds its rows, marked as the person's");
}
