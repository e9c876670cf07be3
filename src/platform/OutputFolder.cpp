#include "platform/OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "platform/FileProbe.h"

namespace rk {

namespace {

// The path without trailing slashes, so that a link at the folder's place is
// seen as one and not followed; "/" stays itself.
QByteArray folderPath(const QString& path) {
    QByteArray bytes = QFile::encodeName(path);
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    return bytes;
}

// Why a folder of this state may not be written; empty when it may.
QString folderRefusal(const struct stat& folder) {
    if (folder.st_mode & S_ISVTX)
        return QString();
    if (folder.st_uid != ::geteuid())
        return "the folder belongs to another account";
    if (folder.st_mode & (S_IWGRP | S_IWOTH))
        return "others may write to the folder";
    return QString();
}

// Why what stands at the name may not be replaced; empty when it may.
QString entryRefusal(int folder, const QByteArray& name) {
    struct stat entry {};
    if (::fstatat(folder, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? QString() : withErrno("could not look at that name", errno);
    if (S_ISLNK(entry.st_mode))
        return "a link stands at that name";
    if (!S_ISREG(entry.st_mode))
        return "something other than a file stands at that name";
    if (entry.st_uid != ::geteuid())
        return "the file there belongs to another account";
    return QString();
}

}  // namespace

OutputFolder::OutputFolder(const QString& path) {
    const QByteArray folder = folderPath(path);
    const QString parent = QFileInfo(QFile::decodeName(folder)).path();
    // Made closed to others' writes whatever the umask, so that it passes
    // its own check below.
    if (QDir().mkpath(parent))
        ::mkdir(folder.constData(), 0755);
    fd_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        // Linux says ENOTDIR or ELOOP for a link; which it was is looked up
        // for the message only.
        struct stat place {};
        refusal_ = ::lstat(folder.constData(), &place) == 0 && S_ISLNK(place.st_mode)
                       ? QString("the folder is a link")
                       : withErrno("could not make or open the folder", error);
        return;
    }
    struct stat info {};
    refusal_ =
        ::fstat(fd_, &info) != 0 ? withErrno("could not look at the folder", errno) : folderRefusal(info);
}

OutputFolder::~OutputFolder() {
    if (fd_ >= 0)
        ::close(fd_);
}

Result<Unit, QString> OutputFolder::write(const QString& name, const QByteArray& data) const {
    if (!refusal_.isEmpty())
        return fail(refusal_);
    const QByteArray target = QFile::encodeName(name);
    if (target.isEmpty() || target == "." || target == ".." || target.contains('/'))
        return fail(QString("not a file name"));
    if (const QString refused = entryRefusal(fd_, target); !refused.isEmpty())
        return fail(refused);
    return replaceInFolder(fd_, target, data);
}

}  // namespace rk
