#include "platform/SystemPaths.h"

#include <QDir>

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
