#pragma once
// LaunchServices on a temporary machine: a register tool at its place that
// keeps the registered bundles in a file ("-f -R <path>" adds one, "-u
// <path>" drops it) and dumps them ("-dump": per bundle a separator, its
// path, and the identifier and name of its XML Info.plist), and the registry
// of installed applications answering from the same file. Install it as
// AppRegistry::current() for code that asks the registry.

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
