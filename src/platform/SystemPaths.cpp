#include "platform/SystemPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace rk {

namespace {
QString withoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

SystemPaths& processPaths() {
    static SystemPaths paths = SystemPaths::host();
    return paths;
}
}  // namespace

SystemPaths SystemPaths::host() {
    return SystemPaths(QString(), withoutTrailingSlash(QDir::homePath()));
}

SystemPaths SystemPaths::rerooted(const QString& root, const QString& home) {
    return SystemPaths(withoutTrailingSlash(root), withoutTrailingSlash(home));
}

const SystemPaths& SystemPaths::current() {
    return processPaths();
}

void SystemPaths::setCurrent(const SystemPaths& paths) {
    processPaths() = paths;
}

QString SystemPaths::disk(const QString& logical) const {
    if (root_.isEmpty() || !logical.startsWith('/'))
        return logical;
    return root_ + logical;
}

QString SystemPaths::resolved(const QString& logical) const {
    const QString canonical = QFileInfo(disk(logical)).canonicalFilePath();
    if (canonical.isEmpty())
        return QDir::cleanPath(logical);
    if (root_.isEmpty())
        return canonical;
    const QString root = QFileInfo(root_).canonicalFilePath();
    if (canonical == root)
        return "/";
    return canonical.startsWith(root + "/") ? canonical.mid(root.size()) : canonical;
}

QString SystemPaths::userCaches() const {
    if (root_.isEmpty())
        return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return home_ + "/Library/Caches";
}

QString SystemPaths::toolLocation(MacTool tool) {
    switch (tool) {
        case MacTool::tccutil:
            return "/usr/bin/tccutil";
        case MacTool::codesign:
            return "/usr/bin/codesign";
        case MacTool::spctl:
            return "/usr/sbin/spctl";
        case MacTool::ditto:
            return "/usr/bin/ditto";
        case MacTool::xattr:
            return "/usr/bin/xattr";
        case MacTool::launchServicesRegister:
            return "/System/Library/Frameworks/CoreServices.framework/Frameworks/LaunchServices.framework/"
                   "Support/lsregister";
        case MacTool::launchServicesRegisterVersioned:
            return "/System/Library/Frameworks/CoreServices.framework/Versions/A/Frameworks/"
                   "LaunchServices.framework/Versions/A/Support/lsregister";
        case MacTool::plistBuddy:
            return "/usr/libexec/PlistBuddy";
        case MacTool::defaults:
            return "/usr/bin/defaults";
        case MacTool::launchctl:
            return "/bin/launchctl";
        case MacTool::open:
            return "/usr/bin/open";
        case MacTool::shell:
            return "/bin/sh";
        case MacTool::processFinder:
            return "/usr/bin/pgrep";
        case MacTool::systemProfiler:
            return "/usr/sbin/system_profiler";
        case MacTool::security:
            return "/usr/bin/security";
    }
    return QString();
}

QString SystemPaths::tool(MacTool tool) const {
    const QString location = toolLocation(tool);
    if (tool == MacTool::shell)
        return location;
    if (root_.isEmpty()) {
        if (const auto own = standIn(tool))
            return *own;
    }
    return disk(location);
}

std::optional<QString> SystemPaths::standIn(MacTool tool) {
    if (tool == MacTool::ditto)
        return QStringLiteral(ROWKEEPER_STAND_IN_FOLDER "/ditto");
    return std::nullopt;
}

QString SystemPaths::tilde(const QString& logical) const {
    if (home_.isEmpty() || home_ == "/")
        return logical;
    if (logical == home_)
        return "~";
    if (logical.startsWith(home_ + "/"))
        return "~" + logical.mid(home_.size());
    return logical;
}

}  // namespace rk
