#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "platform/AppRegistry.h"
#include "platform/FileProbe.h"
#include "platform/Volumes.h"
#include "support/PlatformFakes.h"

using namespace rk;

TEST(HostFileProbe, AnswersWithTheErrno) {
    QTemporaryDir dir;
    QFile file(dir.filePath("present"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QDir(dir.path()).mkdir("folder");

    HostFileProbe probe;
    EXPECT_EQ(probe.openForReading(dir.filePath("present")), 0);
    EXPECT_EQ(probe.openForReading(dir.filePath("absent")), ENOENT);

    const auto listing = probe.listFolder(dir.path());
    ASSERT_TRUE(listing.ok());
    QStringList names = listing.value();
    names.sort();
    EXPECT_EQ(names, QStringList({"folder", "present"}));  // no "." or ".."
    const auto missing = probe.listFolder(dir.filePath("absent"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), ENOENT);
    const auto notFolder = probe.listFolder(dir.filePath("present"));
    ASSERT_FALSE(notFolder.ok());
    EXPECT_EQ(notFolder.error(), ENOTDIR);
}

TEST(Seams, CurrentIsTheHostUnlessReplaced) {
    test::FakeAppRegistry registry;
    registry.pathsOf["com.vendor.tool"] = {"/Applications/Tool.app"};
    EXPECT_TRUE(AppRegistry::current().applicationPaths("com.vendor.tool").isEmpty());
    {
        test::ScopedCurrent<AppRegistry> scoped(&registry);
        EXPECT_EQ(AppRegistry::current().applicationPaths("com.vendor.tool").size(), 1);
    }
    EXPECT_TRUE(AppRegistry::current().applicationPaths("com.vendor.tool").isEmpty());
    EXPECT_NE(dynamic_cast<HostFileProbe*>(&FileProbe::current()), nullptr);
    EXPECT_NE(dynamic_cast<HostVolumes*>(&Volumes::current()), nullptr);
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
