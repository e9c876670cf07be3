#include "support/TempRoot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rk::test {

TempRoot::TempRoot(const QString& home)
    : paths_(SystemPaths::rerooted(dir_.path(), home)), previous_(SystemPaths::current()) {
    SystemPaths::setCurrent(paths_);
    makeFolder(home);
}

TempRoot::~TempRoot() {
    SystemPaths::setCurrent(previous_);
}

QString TempRoot::makeFolder(const QString& logical) const {
    const QString path = disk(logical);
    QDir().mkpath(path);
    return path;
}

QString TempRoot::writeFile(const QString& logical, const QByteArray& bytes) const {
    const QString path = disk(logical);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

bool TempRoot::remove(const QString& logical) const {
    const QString path = disk(logical);
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

}  // namespace rk::test
