#include "app/model/AppInfo.h"

#include "platform/AppBundle.h"

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
    return versionOr(
        AppBundle::current().infoString(QStringLiteral("CFBundleShortVersionString")).value_or(""));
}

QString AppInfo::build() {
    return buildOr(AppBundle::current().infoString(QStringLiteral("CFBundleVersion")).value_or(""));
}

QString AppInfo::versionLine() {
    return versionLine(version(), build());
}

}  // namespace rk
