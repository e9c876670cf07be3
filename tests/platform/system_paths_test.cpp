// Where things are on the machine: logical paths under a re-rooted machine,
// the app's bundle and folders, and the machine's identity file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/AppFolders.h"
#include "platform/BundleInfo.h"
#include "platform/MachineIdentity.h"
#include "platform/SystemPaths.h"

namespace rk {
namespace {

TEST(SystemPaths, TildeOnlyAtFolderBoundary) {
    const auto paths = SystemPaths::rerooted("/tmp/root", "/Users/ann");
    const std::pair<const char*, const char*> cases[] = {
        {"/Users/ann", "~"},
        {"/Users/ann/Library/x", "~/Library/x"},
        {"/Users/anna/x", "/Users/anna/x"},
        {"/Applications/Tool.app", "/Applications/Tool.app"},
    };
    for (const auto& [path, want] : cases)
        EXPECT_EQ(paths.tilde(path), want) << path;
}

TEST(SystemPaths, DiskMapsLogicalPathsUnderTheRoot) {
    const auto paths = SystemPaths::rerooted("/tmp/root/", "/Users/ann/");
    EXPECT_EQ(paths.home(), "/Users/ann");
    EXPECT_EQ(paths.disk(paths.userTCC()),
              "/tmp/root/Users/ann/Library/Application Support/com.apple.TCC/TCC.db");
    EXPECT_EQ(paths.disk("relative/x"), "relative/x");
    EXPECT_EQ(SystemPaths::host().disk("/Library"), "/Library");
}

TEST(BundleInfo, TheBundleIsTheAppFolderAboveContentsMacOS) {
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"/Applications/Tool.app/Contents/MacOS/Tool", QString("/Applications/Tool.app")},
        {"/Applications/Tool.app/Contents/MacOS/../MacOS/Tool", QString("/Applications/Tool.app")},
        {"/usr/local/bin/rowkeeper", std::nullopt},
        {"/x/Tool/Contents/MacOS/Tool", std::nullopt},
        {"/x/Tool.app/Contents/Tool", std::nullopt},
        {"/.app/Contents/MacOS/Tool", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [executable, bundle] : cases)
        EXPECT_EQ(BundleInfo::enclosingBundle(executable), bundle) << executable.toStdString();
}

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

// The identity file under the machine's root, trimmed; none when it is
// missing or blank. Made without paths, it follows the current ones.
TEST(MachineIdentity, ReadsTheIdentityFileUnderTheMachinesRoot) {
    QTemporaryDir root;
    const HostMachineIdentity identity(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(identity.platformIdentity(), std::nullopt);
    ASSERT_TRUE(QDir().mkpath(root.path() + "/etc"));
    QFile file(root.path() + "/etc/machine-id");
    const QString id = "5f3c0a9e1b2d4c6e8f0a1b2c3d4e5f60";
    for (const auto& [data, want] :
         {std::pair<QByteArray, std::optional<QString>>{" \n", std::nullopt}, {id.toLatin1() + "\n", id}}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        file.close();
        EXPECT_EQ(identity.platformIdentity(), want);
    }
    SystemPaths::setCurrent(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(HostMachineIdentity().platformIdentity(), id);
    SystemPaths::setCurrent(SystemPaths::host());
}

}  // namespace
}  // namespace rk
