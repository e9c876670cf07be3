#include "platform/AppNames.h"

#include "platform/Seam.h"

namespace rk {

AppNames& AppNames::current() {
    return Seam<AppNames>::current<HostAppNames>();
}

void AppNames::setCurrent(AppNames* names) {
    Seam<AppNames>::setCurrent(names);
}

std::optional<QString> HostAppNames::preferredApplicationPath(const QString& bundleIdentifier) const {
    const AppRegistry& registry = registry_ ? *registry_ : AppRegistry::current();
    const QStringList paths = registry.applicationPaths(bundleIdentifier);
    if (paths.isEmpty())
        return std::nullopt;
    return paths.first();
}

QString HostAppNames::displayName(const QString& path) const {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith('/'))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf('/');
    return slash < 0 ? trimmed : trimmed.mid(slash + 1);
}

}  // namespace rk
