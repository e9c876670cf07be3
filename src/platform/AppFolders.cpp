#include "platform/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace rk {

namespace {

constexpr const char* kFolder = "Rowkeeper";
constexpr const char* kOldFolder = "Lark Spur";

QString baseFolder(const QString& base) {
    return base.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) : base;
}

}  // namespace

QString AppFolders::support(const QString& base) {
    const QString root = baseFolder(base);
    if (root.isEmpty())
        return {};
    return QDir(root).filePath(kFolder);
}

QString AppFolders::preparedSupport(const QString& base) {
    const QString root = baseFolder(base);
    if (root.isEmpty())
        return {};
    const QDir dir(root);
    const QString folder = dir.filePath(kFolder);
    const QString old = dir.filePath(kOldFolder);
    if (!QFileInfo::exists(folder) && QFileInfo::exists(old))
        QDir().rename(old, folder);
    QDir().mkpath(folder);
    return folder;
}

}  // namespace rk
