#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include "finder/TCCStore.h"
#include "support/FileShapes.h"
#include "support/HostileFiles.h"
#include "support/PlatformFakes.h"
#include "support/Printers.h"
#include "support/TccDbWriter.h"
#include "support/TempRoot.h"

using namespace rk;
using rk::test::TccDbRow;
using rk::test::TccDbWriter;

namespace {

const QString kAx = "kTCCServiceAccessibility";

class TCCStoreTest : public ::testing::Test {
protected:
    test::TempRoot root;
    QString systemDb() const { return root.disk(TCCStore::systemPath()); }
    QString userDb() const { return root.disk(TCCStore::userPath()); }
    // Both databases with one row each, in folders holding nothing else.
    void writeBothAlone() const {
        for (const QString& db : {TCCStore::systemPath(), TCCStore::userPath()}) {
            root.remove(QFileInfo(db).path());
            ASSERT_EQ(TccDbWriter::write(root.disk(db), {{"c", 0, kAx, 2}}), "");
        }
    }
};

QString describe(const Result<QList<TCCRow>, StoreError>& result) {
    return result.ok() ? QString("ok, %1 rows").arg(result->size()) : result.error().description();
}

// SQLite's default file system, except that no database's shared-memory
// file can be made: what a reader meets on a Mac where it may not write the
// database's folder. Folder permissions would not stop the tests as root.
class NoSharedMemory {
public:
    NoSharedMemory() : vfs_(*real()) {
        vfs_.zName = "no-shared-memory";
        vfs_.xOpen = [](sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out) {
            const int rc = real()->xOpen(real(), name, file, flags, out);
            if (rc != SQLITE_OK || !(flags & SQLITE_OPEN_MAIN_DB))
                return rc;
            // Databases share one table of methods (journals and WAL files
            // have others); only that table is swapped for the refusing copy.
            static const sqlite3_io_methods* const plain = file->pMethods;
            static sqlite3_io_methods refusing = *plain;
            refusing.xShmMap = [](sqlite3_file*, int, int, int, void volatile**) { return SQLITE_CANTOPEN; };
            if (file->pMethods == plain)
                file->pMethods = &refusing;
            return rc;
        };
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~NoSharedMemory() {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(real(), 1);
    }

private:
    static sqlite3_vfs* real() {
        static sqlite3_vfs* const unix = sqlite3_vfs_find(nullptr);
        return unix;
    }
    sqlite3_vfs vfs_;
};

}  // namespace

// The descriptions are read in every store test below; the codes only here.
TEST(StoreError, CodesAndTheErrnoOfAnOpen) {
    EXPECT_EQ(QStringList({StoreError::format("x").code(), StoreError::unreadable("x").code(),
                           StoreError::missing("x").code(), StoreError::noAccess().code()}),
              QStringList({"format", "unreadable", "unreadable", "no_access"}));
    EXPECT_NE(StoreError::format("a"), StoreError::unreadable("a"));
    test::FakeFileProbe probe;
    const std::pair<int, QString> errnos[] = {{EPERM, "no access"},
                                              {EACCES, "no access"},
                                              {ENOENT, "unreadable (missing), absent"},
                                              {EIO, "unreadable (errno 5)"},
                                              {EISDIR, "unreadable (errno 21)"}};
    for (const auto& [error, description] : errnos) {
        probe.openErrors["/x/TCC.db"] = error;
        const StoreError opened = canOpenForReading("/x/TCC.db", probe).error();
        EXPECT_EQ(opened.description() + (opened.absent ? ", absent" : ""), description) << error;
    }
}

TEST(TCCRow, OnlyTheExactDatabaseWords) {
    for (const TCCRow::DB db : {TCCRow::DB::user, TCCRow::DB::system})
        EXPECT_EQ(TCCRow::dbFromRawValue(TCCRow::rawValue(db)), db);
    for (const char* other : {"User", "", "system ", "both"})
        EXPECT_FALSE(TCCRow::dbFromRawValue(other)) << other;
}

// The first open takes the path as a plain file name: characters that mean
// something in a URI ("?", "#", "%") are part of the folder's name. A
// database in WAL mode (the person's here) whose shared-memory file cannot
// be made is read as it is, through the immutable URI form, whose escaping
// keeps a "?" in the folder's name from ending the path.
TEST_F(TCCStoreTest, ReadsBothDatabasesSystemFirstWithTheirOriginWhateverTheFolderNameAndFiltersServices) {
    test::TempRoot odd("/Users/an na?#%");
    ASSERT_EQ(TccDbWriter::write(odd.disk(TCCStore::systemPath()),
                                 {{"com.vendor.a", 0, kAx, 2}, {"/usr/local/bin/b", 1, kAx, 0}}),
              "");
    const QString userDb = odd.disk(TCCStore::userPath());
    ASSERT_EQ(TccDbWriter::write(userDb,
                                 {{"com.vendor.c", 0, kAx, 2}, {"com.vendor.c", 0, "kTCCServiceCamera", 2}}),
              "");
    ASSERT_EQ(TccDbWriter::execute(userDb, "PRAGMA journal_mode=WAL"), "");
    NoSharedMemory refusing;
    const auto rows = TCCStore::read();
    ASSERT_TRUE(rows.ok()) << describe(rows).toStdString();
    const QList<TCCRow> want{
        {"com.vendor.a", 0, kAx, 2, TCCRow::DB::system},
        {"/usr/local/bin/b", 1, kAx, 0, TCCRow::DB::system},
        {"com.vendor.c", 0, kAx, 2, TCCRow::DB::user},
        {"com.vendor.c", 0, "kTCCServiceCamera", 2, TCCRow::DB::user},
    };
    EXPECT_EQ(rows.value(), want);
    // Only the services asked for; none when the set is empty.
    const std::pair<QSet<QString>, qsizetype> filters[] = {
        {{}, 0}, {{kAx}, 3}, {{kAx, "kTCCServiceCamera"}, 4}, {{"kTCCServiceNothing"}, 0}};
    for (const auto& [services, count] : filters)
        EXPECT_EQ(TCCStore::read(services).valueOr(QList<TCCRow>()).size(), count) << services.size();
}

// What is no regular file, or too large, is refused before SQLite opens it:
// a pipe would keep that open waiting for ever, on the main thread.
TEST_F(TCCStoreTest, FailuresOfEitherDatabase) {
    using Schema = TccDbWriter::Schema;
    using test::FileShape;
    test::FakeFileProbe probe;
    test::ScopedCurrent<FileProbe> scoped(&probe);
    // Only the full layout holds rows; where there is no database, `shape` if any.
    const auto write = [](const QString& file, std::optional<Schema> schema, const QString& client,
                          std::optional<FileShape> shape) {
        const QList<TccDbRow> rows{{client, 0, kAx, 2}};
        if (!schema) {
            ASSERT_TRUE(!shape || test::plant(*shape, file, TCCStore::maxFileBytes + 1));
            return;
        }
        ASSERT_EQ(TccDbWriter::write(file, schema == Schema::modern ? rows : QList<TccDbRow>{}, *schema), "");
    };
    const char* notFile = "unreadable (not a regular file)";
    struct Case {
        const char* name;
        std::optional<Schema> system;  // none: no database
        std::optional<Schema> user;
        int systemErrno;
        int userErrno;
        const char* want;
        std::optional<FileShape> shape = {};
    } cases[] = {
        {"no system database", std::nullopt, Schema::modern, 0, 0, "unreadable (missing)"},
        {"no person's database: system rows alone", Schema::modern, std::nullopt, 0, 0, "ok, 1 rows"},
        {"system database closed to us", Schema::modern, Schema::modern, EPERM, 0, "no access"},
        {"person's database closed to us", Schema::modern, Schema::modern, 0, EACCES, "no access"},
        {"person's database unreadable otherwise", Schema::modern, Schema::modern, 0, EIO, "ok, 1 rows"},
        {"system database without table access", Schema::noAccessTable, Schema::modern, 0, 0,
         "unknown format (no access table)"},
        {"person's database of the wrong format ends the read", Schema::modern, Schema::noAccessTable, 0, 0,
         "unknown format (no access table)"},
        {"columns missing", Schema::missingClientAndAuth, Schema::modern, 0, 0,
         "unknown format (missing columns auth_value,client)"},
        {"a pipe for the system's", {}, Schema::modern, 0, 0, notFile, FileShape::pipe},
        {"a pipe for the person's", Schema::modern, {}, 0, 0, "ok, 1 rows", FileShape::pipe},
        {"a link to a device", {}, Schema::modern, 0, 0, notFile, FileShape::linkToZeros},
        {"a folder", {}, Schema::modern, 0, 0, notFile, FileShape::folder},
        {"a file past the cap", {}, Schema::modern, 0, 0, "unreadable (too large)", FileShape::holes},
    };
    for (const auto& c : cases) {
        root.remove(TCCStore::systemPath());
        root.remove(TCCStore::userPath());
        probe.openErrors.clear();
        write(systemDb(), c.system, "s", c.shape);
        write(userDb(), c.user, "u", c.shape);
        if (c.systemErrno)
            probe.openErrors[systemDb()] = c.systemErrno;
        if (c.userErrno)
            probe.openErrors[userDb()] = c.userErrno;
        EXPECT_TRUE(test::finishesWithoutWaitingOn({systemDb(), userDb()}, [&] {
            EXPECT_EQ(describe(TCCStore::read()), c.want) << c.name;
        })) << c.name;
    }
    probe.openErrors.clear();
    root.writeFile(TCCStore::systemPath(), QByteArray(8192, 'x'));
    EXPECT_EQ(describe(TCCStore::read()), "unknown format (no access table)") << "system file is no database";
}

// SQLite opens the journal, the WAL and the shared-memory file beside a
// database by their names, without looking first; on a pipe that open waits
// for ever. Whatever stands there that is no regular file, or is too large,
// makes that database unreadable (the person's alone leaves the system's
// rows); side files as SQLite leaves them still read.
TEST_F(TCCStoreTest, WhatStandsBesideADatabase) {
    using test::FileShape;
    struct Case {
        QString name;
        QString side;                    // "-journal", "-wal" or "-shm"
        std::optional<FileShape> shape;  // none: an empty regular file
        bool persons;                    // beside the person's database, else the system's
        QString want;
    };
    QList<Case> cases;
    const std::pair<FileShape, const char*> shapes[] = {{FileShape::pipe, "a pipe"},
                                                        {FileShape::linkToZeros, "a link to a device"},
                                                        {FileShape::folder, "a folder"},
                                                        {FileShape::holes, "a file past the cap"}};
    for (const QString side : {"-journal", "-wal", "-shm"}) {
        const QString file = "TCC.db" + side;
        cases.append({"a pipe at the person's " + file, side, FileShape::pipe, true, "ok, 1 rows"});
        for (const auto& [shape, what] : shapes)
            cases.append({what + (" at the system's " + file), side, shape, false,
                          "unreadable (" + file +
                              (shape == FileShape::holes ? " too large)" : " not a regular file)")});
        cases.append({"an empty " + file, side, std::nullopt, false, "ok, 2 rows"});
    }
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(writeBothAlone());
        const QString side = (c.persons ? userDb() : systemDb()) + c.side;
        ASSERT_TRUE(c.shape ? test::plant(*c.shape, side, TCCStore::maxFileBytes + 1)
                            : test::writeFileAt(side, {}))
            << c.name.toStdString();
        EXPECT_TRUE(test::finishesWithoutWaitingOn({side}, [&] {
            EXPECT_EQ(describe(TCCStore::read()), c.want) << c.name.toStdString();
        })) << c.name.toStdString();
    }
    // A row the person's database holds in its WAL alone, not yet copied back.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(userDb().toUtf8().constData(), &writer), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(writer,
                           "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; INSERT INTO access "
                           "(service, client, client_type, auth_value, auth_reason, auth_version) "
                           "VALUES ('kTCCServiceAccessibility', 'w', 0, 2, 0, 1)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_TRUE(QFileInfo(userDb() + "-wal").size() > 0 && QFileInfo::exists(userDb() + "-shm"));
    EXPECT_EQ(describe(TCCStore::read()), "ok, 3 rows");
    sqlite3_close(writer);
    // The files beside a database that a link at its path leads to are SQLite's.
    const QString elsewhere = root.disk("/elsewhere/real.db");
    ASSERT_EQ(TccDbWriter::write(elsewhere, {}), "");
    ASSERT_TRUE(QFile::remove(systemDb()) && QFile::link(elsewhere, systemDb()));
    ASSERT_TRUE(test::plant(FileShape::pipe, elsewhere + "-journal"));
    EXPECT_TRUE(test::finishesWithoutWaitingOn({elsewhere + "-journal"}, [] {
        EXPECT_EQ(describe(TCCStore::read()), "unreadable (real.db-journal not a regular file)");
    }));
    // A journal left by a crash, which a read-only connection may not roll
    // back: the database cannot be read just now; its format is fine.
    for (const bool persons : {true, false}) {
        ASSERT_NO_FATAL_FAILURE(writeBothAlone());
        ASSERT_TRUE(
            test::writeFileAt((persons ? userDb() : systemDb()) + "-journal", QByteArray(512, '\x01')));
        EXPECT_EQ(describe(TCCStore::read()), persons ? "ok, 1 rows" : "unreadable (sqlite 8)") << persons;
    }
}

// SQLite opens the journal again at every statement, and the database when
// it connects, by name and after any check: a name that keeps turning from a
// regular file into a pipe and back, at the system's journal or database,
// keeps no read waiting.
TEST_F(TCCStoreTest, ReadsEndWhileAPipeAndAFileTakeTurnsAtTheJournalOrTheDatabase) {
    for (const QString side : {"-journal", ""}) {
        ASSERT_NO_FATAL_FAILURE(writeBothAlone());
        const QString at = systemDb() + side, file = at + ".file", pipe = at + ".pipe";
        ASSERT_TRUE(side.isEmpty() ? TccDbWriter::write(file, {{"c", 0, kAx, 2}}).isEmpty()
                                   : test::writeFileAt(file, {}));
        ASSERT_TRUE(test::plant(test::FileShape::pipe, pipe));
        std::atomic<bool> reading{true};
        std::thread turns([&] {
            const QByteArray name = QFile::encodeName(at), staged = QFile::encodeName(at + ".next");
            for (int turn = 0; reading; ++turn) {
                ::link(QFile::encodeName(turn % 2 ? pipe : file).constData(), staged.constData());
                ::rename(staged.constData(), name.constData());
            }
        });
        const auto reads = [] {
            for (int read = 0; read < 300; ++read)
                (void)TCCStore::read();
        };
        EXPECT_TRUE(test::finishesWithoutWaitingOn({pipe}, reads)) << "at TCC.db" << side.toStdString();
        reading = false;
        turns.join();
    }
}

// Anyone may have written the file: whatever its schema holds, a read ends
// soon, with a clear error, and small.
TEST_F(TCCStoreTest, HostileDatabasesFailTheirReadInBoundedTime) {
    const QString table =
        "CREATE TABLE access (service TEXT, client TEXT, client_type INTEGER, auth_value INTEGER);";
    const QString rows =
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
        "INSERT INTO access SELECT 'svc', 'cli' || x, 0, 2 FROM c";
    struct Case {
        const char* name;
        QString sql;
        const char* want;
    } cases[] = {
        {"a view whose recursion never ends", test::HostileFiles::endlessAccessView,
         "unknown format (no access table)"},
        {"a virtual table",
         "CREATE VIRTUAL TABLE access USING fts4(service, client, client_type, auth_value)",
         "unknown format (no access table)"},
        {"a value beyond the bound", table + "INSERT INTO access VALUES ('svc', zeroblob(2000000), 0, 2)",
         "unreadable (step 18)"},
        {"rows beyond the bound", table + rows.arg(TCCStore::maxRows + 1), "unknown format (too many rows)"},
    };
    for (const auto& c : cases) {
        root.remove(TCCStore::systemPath());
        ASSERT_EQ(TccDbWriter::write(systemDb(), {}, TccDbWriter::Schema::noAccessTable), "");
        ASSERT_EQ(TccDbWriter::execute(systemDb(), c.sql), "") << c.name;
        EXPECT_EQ(describe(TCCStore::read()), c.want) << c.name;
    }
}

// Integers are read whole: a client type of 2^32 + 1 is no path.
TEST_F(TCCStoreTest, RowsWithNullClientOrServiceAreLeftOutAndIntegersReadWhole) {
    const QList<TccDbRow> rows{{"com.vendor.a", 0, kAx, 2},
                               {std::nullopt, 0, kAx, 2},
                               {"b", 0, std::nullopt, 2},
                               {"c", 1, kAx, 0},
                               {"d", 4294967297, kAx, -4294967294}};
    ASSERT_EQ(TccDbWriter::write(systemDb(), rows, TccDbWriter::Schema::loose), "");
    const QList<TCCRow> want{{"com.vendor.a", 0, kAx, 2, TCCRow::DB::system},
                             {"c", 1, kAx, 0, TCCRow::DB::system},
                             {"d", 4294967297, kAx, -4294967294, TCCRow::DB::system}};
    EXPECT_EQ(TCCStore::read().valueOr(QList<TCCRow>()), want);
}

TEST(TCCStoreImmutableUri, EscapesWhatAUrlPathMayNotHold) {
    struct Case {
        QString path;
        const char* uri;
    } cases[] = {
        {"/Users/an na?#%/TCC.db", "file:/Users/an%20na%3F%23%25/TCC.db?mode=ro&immutable=1"},
        {"/Library/Application Support/com.apple.TCC/TCC.db",
         "file:/Library/Application%20Support/com.apple.TCC/TCC.db?mode=ro&immutable=1"},
        {QString::fromUtf8("/Users/zo\xC3\xAB/TCC.db"), "file:/Users/zo%C3%AB/TCC.db?mode=ro&immutable=1"},
        {"/a!$&'()*+,;=:@-._~z/TCC.db", "file:/a!$&'()*+,;=:@-._~z/TCC.db?mode=ro&immutable=1"},
        {"/x[y]{z}\\|^`\"<>/TCC.db", "file:/x%5By%5D%7Bz%7D%5C%7C%5E%60%22%3C%3E/TCC.db?mode=ro&immutable=1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TCCStore::immutableUri(c.path), QByteArray(c.uri)) << c.path.toStdString();
}

TEST_F(TCCStoreTest, WaitsForADatabaseAnotherConnectionHoldsLocked) {
    ASSERT_EQ(TccDbWriter::write(systemDb(), {{"s", 0, kAx, 2}}), "");
    ASSERT_EQ(TccDbWriter::write(userDb(), {}), "");
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(systemDb().toUtf8().constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(describe(TCCStore::read()), "ok, 1 rows");
    release.join();
    sqlite3_close(holder);
}
