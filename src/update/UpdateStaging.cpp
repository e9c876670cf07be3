#include "update/UpdateStaging.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <cerrno>

#include "update/UpdateState.h"

namespace rk::KTUpdate {

namespace {

// A real folder (not a link) of this person's own that no one else may enter.
bool isPrivateFolder(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

std::optional<QString> runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!QDir::isAbsolutePath(runtime) || !isPrivateFolder(runtime))
        return std::nullopt;
    const QString folder = QDir::cleanPath(runtime) + QStringLiteral("/KTUpdate");
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    if (!isPrivateFolder(folder))
        return std::nullopt;
    return folder;
}

QMutex madeMutex;
QString made;

}  // namespace

Result<QString, QString> privateTemporaryFolder() {
    if (const auto folder = runtimeFolder())
        return *folder;
    QMutexLocker lock(&madeMutex);
    if (made.isEmpty() || !isPrivateFolder(made)) {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/KTUpdate-XXXXXX"));
        if (!::mkdtemp(pattern.data()))
            return fail(QStringLiteral("could not make a private folder in ") + QDir::tempPath());
        made = QFile::decodeName(pattern);
    }
    return made;
}

QString stagingFolderName(const QString& key, const QString& version, qint64 build) {
    QString name = QStringLiteral("KTUpdate-") + key + '-' + version + '-' + QString::number(build);
    return name.replace('/', '_').replace(QStringLiteral(".."), QStringLiteral("_"));
}

Result<QString, QString> freshStagingFolder(const QString& key, const QString& version, qint64 build) {
    const auto parent = privateTemporaryFolder();
    if (!parent)
        return fail(parent.error());
    const QString path = *parent + '/' + stagingFolderName(key, version, build);
    // Read as written: a ".." that cleaning would fold away must not pass.
    const QFileInfo place(path);
    if (QDir::cleanPath(path) != path || place.absolutePath() != *parent)
        return fail(QStringLiteral("the staging folder ") + path + QStringLiteral(" is not inside ") +
                    *parent);
    if (place.isSymLink() || (place.exists() && !place.isDir()))
        QFile::remove(path);
    else if (place.isDir())
        QDir(path).removeRecursively();
    if (!QDir().mkpath(path))
        return fail(QStringLiteral("could not create the folder ") + path);
    return path;
}

void state::resetStaging() {
    QMutexLocker lock(&madeMutex);
    made.clear();
}

}  // namespace rk::KTUpdate
