#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/AppFolders.h"

using namespace rk;

namespace {

// The Move-In checklist only reads from the folder: naming it must neither
// make it nor move the old one over; preparing it for a write does both, or
// makes a missing folder. No base means the data location.
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

    EXPECT_TRUE(QFileInfo(AppFolders::preparedSupport(base.path() + "/deeper/still")).isDir());
    qputenv("XDG_DATA_HOME", QFile::encodeName(base.path()));
    EXPECT_EQ(AppFolders::support(), folder);
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace
