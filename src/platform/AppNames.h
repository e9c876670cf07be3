#pragma once
// What the workspace says about an installed application beyond the list of
// its copies: which copy it prefers for a bundle identifier, and the name the
// file manager shows for it. The Accessibility page lists apps under that name.

#include <QString>
#include <optional>

#include "platform/AppRegistry.h"

namespace rk {

class AppNames {
public:
    virtual ~AppNames() = default;

    // Logical path of the preferred application for a bundle identifier; none
    // when the workspace knows no application for it.
    virtual std::optional<QString> preferredApplicationPath(const QString& bundleIdentifier) const = 0;
    // The file manager's display name of the item at a logical path.
    virtual QString displayName(const QString& path) const = 0;

    static AppNames& current();
    static void setCurrent(AppNames* names);  // nullptr restores the host one
};

// Linux has no workspace: the preferred copy is the registry's first (the host
// registry has none), and the display name is the path's last component.
class HostAppNames : public AppNames {
public:
    explicit HostAppNames(const AppRegistry* registry = nullptr) : registry_(registry) {}
    std::optional<QString> preferredApplicationPath(const QString& bundleIdentifier) const override;
    QString displayName(const QString& path) const override;

private:
    // nullptr: whatever registry is current at the time of the call.
    const AppRegistry* registry_;
};

}  // namespace rk
