#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "platform/FileProbe.h"
#include "platform/Volumes.h"

using namespace rk;

TEST(HostFileProbe, AnswersWithTheErrno) {
    QTemporaryDir dir;
    QFile(dir.filePath("present")).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir("folder");
    HostFileProbe probe;
    EXPECT_EQ(probe.openForReading(dir.filePath("present")), 0);
    EXPECT_EQ(probe.openForReading(dir.filePath("absent")), ENOENT);
    QStringList names = probe.listFolder(dir.path()).value();
    names.sort();
    EXPECT_EQ(names, QStringList({"folder", "present"}));  // no "." or ".."
    EXPECT_EQ(probe.listFolder(dir.filePath("absent")).error(), ENOENT);
    EXPECT_EQ(probe.listFolder(dir.filePath("present")).error(), ENOTDIR);
}

TEST(HostVolumes, ReadsReadOnlyAndLeavesInternalUnknown) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Volumes/Data");
    const auto paths = SystemPaths::rerooted(dir.path(), "/Users/anna");
    HostVolumes volumes;
    const auto flags = volumes.flags("/Volumes/Data", paths);
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(flags->readOnly, false);
    EXPECT_FALSE(flags->internal.has_value());
    EXPECT_FALSE(volumes.flags("/Volumes/Gone", paths).has_value());
}
