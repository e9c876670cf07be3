#include <gtest/gtest.h>

#include <cerrno>

#include "finder/TCCStore.h"
#include "support/PlatformFakes.h"
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

    void writeSystem(const QList<TccDbRow>& rows, TccDbWriter::Schema schema = TccDbWriter::Schema::modern) {
        ASSERT_EQ(TccDbWriter::write(systemDb(), rows, schema), "");
    }
    void writeUser(const QList<TccDbRow>& rows, TccDbWriter::Schema schema = TccDbWriter::Schema::modern) {
        ASSERT_EQ(TccDbWriter::write(userDb(), rows, schema), "");
    }
};

QString describe(const Result<QList<TCCRow>, StoreError>& result) {
    return result.ok() ? QString("ok, %1 rows").arg(result->size()) : result.error().description();
}

}  // namespace

TEST(StoreError, DescriptionAndCode) {
    struct Case {
        StoreError error;
        const char* description;
        const char* code;
    } cases[] = {
        {StoreError::format("no access table"), "unknown format (no access table)", "format"},
        {StoreError::unreadable("missing"), "unreadable (missing)", "unreadable"},
        {StoreError::noAccess(), "no access", "no_access"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error.description(), c.description);
        EXPECT_EQ(c.error.code(), c.code);
    }
    EXPECT_NE(StoreError::format("a"), StoreError::unreadable("a"));
    EXPECT_NE(qHash(StoreError::format("a")), qHash(StoreError::format("b")));
}

TEST(StoreError, CanOpenForReadingMapsTheErrno) {
    test::FakeFileProbe probe;
    struct Case {
        int error;
        const char* description;
    } cases[] = {
        {EPERM, "no access"},
        {EACCES, "no access"},
        {ENOENT, "unreadable (missing)"},
        {EIO, "unreadable (errno 5)"},
        {EISDIR, "unreadable (errno 21)"},
    };
    for (const auto& c : cases) {
        probe.openErrors["/x/TCC.db"] = c.error;
        const auto result = canOpenForReading("/x/TCC.db", probe);
        ASSERT_FALSE(result.ok()) << c.error;
        EXPECT_EQ(result.error().description(), c.description);
    }
    probe.openErrors.clear();
    EXPECT_EQ(canOpenForReading("/nonexistent/TCC.db", probe).error(), StoreError::unreadable("missing"));
}

TEST(TCCRow, DatabaseWordsAndPathFlag) {
    EXPECT_EQ(TCCRow::dbFromRawValue("user"), TCCRow::DB::user);
    EXPECT_EQ(TCCRow::dbFromRawValue("system"), TCCRow::DB::system);
    for (const char* other : {"User", "", "system ", "both"})
        EXPECT_FALSE(TCCRow::dbFromRawValue(other)) << other;
    EXPECT_EQ(TCCRow::rawValue(TCCRow::DB::user), "user");
    EXPECT_TRUE((TCCRow{"/usr/bin/x", 1, kAx, 2, TCCRow::DB::user}).isPath());
    EXPECT_FALSE((TCCRow{"com.vendor.x", 0, kAx, 2, TCCRow::DB::user}).isPath());
}

TEST_F(TCCStoreTest, ReadsBothDatabasesSystemFirstWithTheirOrigin) {
    writeSystem({{"com.vendor.a", 0, kAx, 2}, {"/usr/local/bin/b", 1, kAx, 0}});
    writeUser({{"com.vendor.c", 0, kAx, 2}, {"com.vendor.c", 0, "kTCCServiceCamera", 2}});
    const auto rows = TCCStore::read();
    ASSERT_TRUE(rows.ok()) << describe(rows).toStdString();
    const QList<TCCRow> want{
        {"com.vendor.a", 0, kAx, 2, TCCRow::DB::system},
        {"/usr/local/bin/b", 1, kAx, 0, TCCRow::DB::system},
        {"com.vendor.c", 0, kAx, 2, TCCRow::DB::user},
        {"com.vendor.c", 0, "kTCCServiceCamera", 2, TCCRow::DB::user},
    };
    EXPECT_EQ(rows.value(), want);
}

TEST_F(TCCStoreTest, ServicesFilter) {
    writeSystem(TccDbWriter::sampleRows());
    writeUser({});
    struct Case {
        const char* name;
        std::optional<QSet<QString>> services;
        qsizetype rows;
    } cases[] = {
        {"absent: every row", std::nullopt, 4},
        {"empty set: no rows", QSet<QString>{}, 0},
        {"accessibility", QSet<QString>{kAx}, 2},
        {"two services", QSet<QString>{kAx, "kTCCServiceMicrophone"}, 3},
        {"unknown service", QSet<QString>{"kTCCServiceNothing"}, 0},
    };
    for (const auto& c : cases) {
        const auto rows = TCCStore::read(c.services);
        ASSERT_TRUE(rows.ok()) << c.name;
        EXPECT_EQ(rows->size(), c.rows) << c.name;
    }
}

TEST_F(TCCStoreTest, FailuresOfEitherDatabase) {
    test::FakeFileProbe probe;
    test::ScopedCurrent<FileProbe> scoped(&probe);
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* want;
    } cases[] = {
        {"no system database",
         [&] {
             writeUser({{"u", 0, kAx, 2}});
         },
         "unreadable (missing)"},
        {"no person's database: system rows alone",
         [&] {
             writeSystem({{"s", 0, kAx, 2}});
         },
         "ok, 1 rows"},
        {"system database closed to us",
         [&] {
             writeSystem({{"s", 0, kAx, 2}});
             writeUser({});
             probe.openErrors[systemDb()] = EPERM;
         },
         "no access"},
        {"person's database closed to us",
         [&] {
             writeSystem({{"s", 0, kAx, 2}});
             writeUser({});
             probe.openErrors[userDb()] = EACCES;
         },
         "no access"},
        {"person's database unreadable otherwise",
         [&] {
             writeSystem({{"s", 0, kAx, 2}});
             writeUser({});
             probe.openErrors[userDb()] = EIO;
         },
         "ok, 1 rows"},
        {"system file is not a database",
         [&] {
             root.writeFile(TCCStore::systemPath(), QByteArray(8192, 'x'));
             writeUser({});
         },
         "unknown format (no access table)"},
        {"system database without table access",
         [&] {
             writeSystem({}, TccDbWriter::Schema::noAccessTable);
             writeUser({});
         },
         "unknown format (no access table)"},
        {"person's database of the wrong format ends the read",
         [&] {
             writeSystem({{"s", 0, kAx, 2}});
             writeUser({}, TccDbWriter::Schema::noAccessTable);
         },
         "unknown format (no access table)"},
        {"columns missing",
         [&] {
             writeSystem({}, TccDbWriter::Schema::missingClientAndAuth);
             writeUser({});
         },
         "unknown format (missing columns auth_value,client)"},
    };
    for (const auto& c : cases) {
        root.remove(TCCStore::systemPath());
        root.remove(TCCStore::userPath());
        probe.openErrors.clear();
        c.arrange();
        EXPECT_EQ(describe(TCCStore::read()), c.want) << c.name;
    }
}

TEST_F(TCCStoreTest, RowsWithNullClientOrServiceAreLeftOut) {
    writeSystem(
        {
            {"com.vendor.a", 0, kAx, 2},
            {std::nullopt, 0, kAx, 2},
            {"com.vendor.b", 0, std::nullopt, 2},
            {"com.vendor.c", 1, kAx, 0},
        },
        TccDbWriter::Schema::loose);
    const auto rows = TCCStore::read();
    ASSERT_TRUE(rows.ok()) << describe(rows).toStdString();
    ASSERT_EQ(rows->size(), 2);
    EXPECT_EQ(rows->at(0).client, "com.vendor.a");
    EXPECT_EQ(rows->at(1).client, "com.vendor.c");
}

TEST_F(TCCStoreTest, ReadsADatabaseUnderAPathThatNeedsEscaping) {
    test::TempRoot odd("/Users/an na?#%");
    ASSERT_EQ(TccDbWriter::write(odd.disk(TCCStore::systemPath()), {{"s", 0, kAx, 2}}), "");
    ASSERT_EQ(TccDbWriter::write(odd.disk(TCCStore::userPath()), {{"u", 0, kAx, 2}}), "");
    const auto rows = TCCStore::read();
    ASSERT_TRUE(rows.ok()) << describe(rows).toStdString();
    EXPECT_EQ(rows->size(), 2);
}

TEST_F(TCCStoreTest, CanReadAsksOnlyThePersonsDatabase) {
    test::FakeFileProbe probe;
    EXPECT_FALSE(TCCStore::canRead(root.paths(), probe));  // missing
    writeUser({});
    EXPECT_TRUE(TCCStore::canRead(root.paths(), probe));
    probe.openErrors[userDb()] = EPERM;
    EXPECT_FALSE(TCCStore::canRead(root.paths(), probe));
    // Not even a database: canRead only opens the file.
    probe.openErrors.clear();
    root.writeFile(TCCStore::userPath(), "not sqlite");
    EXPECT_TRUE(TCCStore::canRead(root.paths(), probe));
}
