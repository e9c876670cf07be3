#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/MachineIdentity.h"

namespace rk {
namespace {

// The identity file under the machine's root, trimmed; none when it is
// missing or blank. Made without paths, it follows the current ones.
TEST(MachineIdentity, ReadsTheIdentityFileUnderTheMachinesRoot) {
    QTemporaryDir root;
    const HostMachineIdentity identity(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(identity.platformIdentity(), std::nullopt);
    ASSERT_TRUE(QDir().mkpath(root.path() + "/etc"));
    QFile file(root.path() + "/etc/machine-id");
    for (const auto& [data, want] :
         {std::pair<QByteArray, std::optional<QString>>{" \n", std::nullopt},
          {"5f3c0a9e1b2d4c6e8f0a1b2c3d4e5f60\n", "5f3c0a9e1b2d4c6e8f0a1b2c3d4e5f60"}}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        file.close();
        EXPECT_EQ(identity.platformIdentity(), want);
    }
    SystemPaths::setCurrent(SystemPaths::rerooted(root.path(), "/Users/anna"));
    EXPECT_EQ(HostMachineIdentity().platformIdentity(), QString("5f3c0a9e1b2d4c6e8f0a1b2c3d4e5f60"));
    SystemPaths::setCurrent(SystemPaths::host());
}

}  // namespace
}  // namespace rk
