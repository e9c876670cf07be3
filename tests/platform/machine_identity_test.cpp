#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/MachineIdentity.h"

namespace rk {
namespace {

void writeIdentity(const QString& root, const QByteArray& data) {
    ASSERT_TRUE(QDir().mkpath(root + "/etc"));
    QFile file(root + "/etc/machine-id");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

TEST(MachineIdentity, ReadsTheIdentityFileUnderTheMachinesRoot) {
    QTemporaryDir root;
    writeIdentity(root.path(), "5f3c0a9e1b2d4c6e8f0a1b2c3d4e5f60\n");
    const HostMachineIdentity identity(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(identity.platformIdentity(), QString("5f3c0a9e1b2d4c6e8f0a1b2c3d4e5f60"));
}

TEST(MachineIdentity, AMissingOrEmptyIdentityFileGivesNone) {
    QTemporaryDir root;
    const HostMachineIdentity identity(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(identity.platformIdentity(), std::nullopt);
    writeIdentity(root.path(), " \n");
    EXPECT_EQ(identity.platformIdentity(), std::nullopt);
}

TEST(MachineIdentity, FollowsTheCurrentPathsWhenMadeWithoutAny) {
    QTemporaryDir root;
    writeIdentity(root.path(), "abc");
    SystemPaths::setCurrent(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(HostMachineIdentity().platformIdentity(), QString("abc"));
    SystemPaths::setCurrent(SystemPaths::host());
}

}  // namespace
}  // namespace rk
