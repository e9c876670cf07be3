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
    writeFileAt(disk(logical), bytes);
    return disk(logical);
}

bool TempRoot::remove(const QString& logical) const {
    const QString path = disk(logical);
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

QByteArray readFileAt(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFileAt(const QString& path, const QByteArray& bytes, bool executable) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.flush() &&
           (!executable || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

}  // namespace rk::test
