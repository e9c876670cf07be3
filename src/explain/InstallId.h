#pragma once
// The install identifier: a random UUID made the first time the gateway is
// about to be called and kept in user defaults under "installID". The gateway
// sees it as the end user, so it can tell installs apart without knowing who
// uses them.

#include <QSettings>
#include <QString>

namespace rk {

struct InstallId {
    static QString key() { return QStringLiteral("installID"); }
    // The stored identifier, or a new one, stored before it is returned. A
    // stored value that is not a UUID is replaced. Safe from any thread.
    static QString value(QSettings& settings);
    // The same over the application's standard user defaults.
    static QString value();
};

}  // namespace rk
