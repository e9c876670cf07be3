#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/AppFolders.h"

using namespace rk;

namespace {

// The Move-In checklist only reads from the folder: naming it must neither
// make it nor move the old one over; preparing it for a write does both.
TEST(AppFolders, OnlyPreparingTouchesTheDisk) {
    QTemporaryDir base;
    const QString old = QDir(base.path()).filePath("Lark Spur");
    ASSERT_TRUE(QDir().mkpath(old));
    const QString folder = QDir(base.path()).filePath("Rowkeeper");

    EXPECT_EQ(AppFolders::support(base.path()), folder);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(old));

    EXPECT_EQ(AppFolders::preparedSupport(base.path()), folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(QFileInfo::exists(old));
}

TEST(AppFolders, PreparingMakesAMissingFolder) {
    QTemporaryDir base;
    const QString folder = AppFolders::preparedSupport(base.path() + "/deeper/still");
    EXPECT_EQ(folder, base.path() + "/deeper/still/Rowkeeper");
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(AppFolders, NoBaseMeansTheDataLocation) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    EXPECT_EQ(AppFolders::support(), dir.path() + "/Rowkeeper");
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace
