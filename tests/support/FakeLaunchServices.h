#pragma once
// LaunchServices on a temporary machine: a register tool (logged like
// FakeTools) that keeps the registered bundles ("-f -R" adds, "-u" drops) and
// dumps them ("-dump"), and the registry answering from them.

#include <QString>
#include <QStringList>

#include "platform/AppRegistry.h"
#include "support/TempRoot.h"

namespace rk::test {

class FakeLaunchServices : public AppRegistry {
public:
    // Puts the register tool in place.
    explicit FakeLaunchServices(const TempRoot& root);

    // The registered bundles whose Info.plist carries `bundleIdentifier`.
    QStringList applicationPaths(const QString& bundleIdentifier) const override;

private:
    const TempRoot& root_;
};

}  // namespace rk::test
