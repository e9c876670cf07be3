#include "app/model/AppInfo.h"

// Set by src/app/CMakeLists.txt on this file only, so a new build number
// recompiles one file.
#ifndef ROWKEEPER_VERSION
#define ROWKEEPER_VERSION ""
#endif
#ifndef ROWKEEPER_BUILD
#define ROWKEEPER_BUILD ""
#endif

namespace rk {

QString AppInfo::versionOr(const QString& given) {
    const QString trimmed = given.trimmed();
    return trimmed.isEmpty() ? QStringLiteral("dev") : trimmed;
}

QString AppInfo::buildOr(const QString& given) {
    const QString trimmed = given.trimmed();
    return trimmed.isEmpty() ? QStringLiteral("0") : trimmed;
}

QString AppInfo::versionLine(const QString& version, const QString& build) {
    return QStringLiteral("Version ") + versionOr(version) + QStringLiteral(" (") + buildOr(build) +
           QStringLiteral(")");
}

QString AppInfo::version() {
    return versionOr(QStringLiteral(ROWKEEPER_VERSION));
}

QString AppInfo::build() {
    return buildOr(QStringLiteral(ROWKEEPER_BUILD));
}

QString AppInfo::versionLine() {
    return versionLine(version(), build());
}

}  // namespace rk
