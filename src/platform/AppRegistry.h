#pragma once
// The registry of installed applications: every application registered for a
// bundle identifier, in the registry's own order. Linux has no such registry,
// so the host answers with no paths.
//
// Hazard: with an empty registry every bundle identifier outside com.apple.
// reads as "no installed app answers to ...". Verdicts made from the host
// answer are therefore never evidence about a real Mac.

#include <QString>
#include <QStringList>

namespace rk {

class AppRegistry {
public:
    virtual ~AppRegistry() = default;

    // Logical paths of the application bundles (e.g. "/Applications/Tool.app").
    virtual QStringList applicationPaths(const QString& bundleIdentifier) const = 0;

    static AppRegistry& current();
    static void setCurrent(AppRegistry* registry);  // nullptr restores the host one
};

class HostAppRegistry : public AppRegistry {
public:
    QStringList applicationPaths(const QString&) const override { return {}; }
};

}  // namespace rk
