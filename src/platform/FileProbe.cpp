#include "platform/FileProbe.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "platform/Seam.h"

namespace rk {

FileProbe& FileProbe::current() {
    return Seam<FileProbe>::current<HostFileProbe>();
}

void FileProbe::setCurrent(FileProbe* probe) {
    Seam<FileProbe>::setCurrent(probe);
}

int HostFileProbe::openForReading(const QString& diskPath) const {
    const QByteArray path = diskPath.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

Result<QStringList, int> HostFileProbe::listFolder(const QString& diskPath) const {
    const QByteArray path = diskPath.toLocal8Bit();
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return fail(errno);
    QStringList names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry)
            break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.append(QString::fromLocal8Bit(entry->d_name));
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        return fail(error);
    return names;
}

namespace {

// A descriptor of the regular file at `diskPath`, opened without blocking,
// and its size; the checks and errors of readWholeFile.
struct RegularFile {
    int fd = -1;
    qint64 size = 0;
};

Result<RegularFile, int> openRegularFile(const QString& diskPath, qint64 cap) {
    const int fd = ::open(QFile::encodeName(diskPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    struct stat info {};
    const int error = ::fstat(fd, &info) != 0  ? errno
                      : !S_ISREG(info.st_mode) ? EINVAL
                      : info.st_size > cap     ? EFBIG
                                               : 0;
    if (error != 0) {
        ::close(fd);
        return fail(error);
    }
    return RegularFile{fd, qint64(info.st_size)};
}

}  // namespace

Result<QByteArray, int> readWholeFile(const QString& diskPath, qint64 cap) {
    const auto regular = openRegularFile(diskPath, cap);
    if (!regular)
        return fail(regular.error());
    QFile file;
    if (!file.open(regular->fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(regular->fd);
        return fail(EIO);
    }
    QByteArray bytes = file.read(regular->size);
    if (file.error() != QFileDevice::NoError)
        return fail(EIO);
    return bytes;
}

Result<Unit, int> checkRegularFile(const QString& diskPath, qint64 cap) {
    const auto regular = openRegularFile(diskPath, cap);
    if (!regular)
        return fail(regular.error());
    ::close(regular->fd);
    return Unit{};
}

namespace {

// Links followed before a path is taken for a loop.
constexpr int kMaxLinks = 40;
// Fresh names tried for a private file before giving up.
constexpr int kNameTries = 16;

// How the walk opens a folder: only to reach names in it, so that a folder
// the runner may pass through but not list still works.
#ifdef O_PATH
constexpr int kFolderOpen = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kFolderOpen = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

bool runnerOrRoot(uid_t uid) {
    return uid == ::geteuid() || uid == 0;
}

bool othersMayWrite(const struct stat& folder) {
    return folder.st_mode & (S_IWGRP | S_IWOTH);
}

// Who else could change the name `entry` in `folder`, as the end of a
// sentence; empty when nobody but the runner and root.
QString unsteady(const struct stat& folder, const struct stat& entry) {
    if (!runnerOrRoot(folder.st_uid))
        return "another account's folder";
    if (othersMayWrite(folder) && !((folder.st_mode & S_ISVTX) && runnerOrRoot(entry.st_uid)))
        return "a folder others may write";
    return QString();
}

// Why a followed link may not end in `folder`; empty when it may.
QString notOwnAlone(const struct stat& folder) {
    if (folder.st_uid != ::geteuid())
        return "another account's folder";
    if (othersMayWrite(folder))
        return "a folder others may write";
    return QString();
}

// The names of `path` in order, without empty ones and ".".
std::deque<QByteArray> namesOf(const QByteArray& path) {
    std::deque<QByteArray> names;
    for (const QByteArray& name : path.split('/')) {
        if (!name.isEmpty() && name != ".")
            names.push_back(name);
    }
    return names;
}

// The walk of RecordPlace::find: the names still to take, and the folders
// it stands in from "/" to the one it has reached, each open. Each step
// takes one name from the top folder; an error ends the walk.
class Walk {
public:
    explicit Walk(const QString& diskPath)
        : names_(namesOf(QFile::encodeName(QFileInfo(diskPath).absoluteFilePath()))) {}
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
    ~Walk() { leave(); }

    // Back at "/" alone; false when it cannot be opened.
    bool fromRoot() {
        leave();
        levels_.push_back(Level{::open("/", kFolderOpen), {}, {}});
        return levels_.back().fd >= 0 && ::fstat(levels_.back().fd, &levels_.back().info) == 0;
    }

    // Whether the file's name has been reached.
    bool arrived() const { return !file_.isEmpty(); }

    // The next name taken; else why the walk ends here.
    QString step() {
        if (names_.empty())
            return "it is no regular file";  // the path names a folder
        const QByteArray name = names_.front();
        names_.pop_front();
        const bool last = names_.empty();
        if (name == "..")
            return last ? "it is no regular file" : (up(), QString());
        if (!last) {
            if (const int fd = openFolder(name); fd >= 0)
                return down(fd);
        }
        struct stat entry {};
        const bool seen = ::fstatat(top().fd, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
        if (seen && S_ISLNK(entry.st_mode))
            return follow(name, entry);
        if (!last)
            return "its folder could not be made";
        if (!seen && errno != ENOENT)
            return errnoText(errno);
        if (seen && !S_ISREG(entry.st_mode))
            return "it is no regular file";
        file_ = name;  // a regular file, or missing: it is made
        return linked_ ? endOfLink() : QString();
    }

    // The file's name, once reached.
    const QByteArray& file() const { return file_; }
    // The descriptor of the folder reached, which the caller now closes.
    int takeFolder() { return std::exchange(levels_.back().fd, -1); }

private:
    struct Level {
        int fd = -1;
        struct stat info {};
        QString unsteady;  // the first folder on the way here others could change, else empty
    };

    const Level& top() const { return levels_.back(); }

    // The folder `name` in the top folder, opened, and made first when it
    // is missing; -1 on a failure.
    int openFolder(const QByteArray& name) const {
        int fd = ::openat(top().fd, name.constData(), kFolderOpen);
        if (fd < 0 && errno == ENOENT) {
            // Closed to others' writes whatever the umask.
            if (::mkdirat(top().fd, name.constData(), 0755) != 0 && errno != EEXIST)
                return -1;
            fd = ::openat(top().fd, name.constData(), kFolderOpen);
        }
        return fd;
    }

    QString down(int fd) {
        Level next{fd, {}, top().unsteady};
        if (::fstat(fd, &next.info) != 0) {
            const int error = errno;
            ::close(fd);
            return errnoText(error);
        }
        const QString step = unsteady(top().info, next.info);
        if (next.unsteady.isEmpty())
            next.unsteady = step;
        levels_.push_back(next);
        return linked_ && !step.isEmpty() ? "it is a link through " + step : QString();
    }

    // To the folder above; "/" is its own.
    void up() {
        if (levels_.size() > 1) {
            ::close(levels_.back().fd);
            levels_.pop_back();
        }
    }

    // The names of the link `name` in place of it, when the link may be followed.
    QString follow(const QByteArray& name, const struct stat& link) {
        if (links_++ == kMaxLinks)
            return "too many links lead on from it";
        const QString why = top().unsteady.isEmpty() ? unsteady(top().info, link) : top().unsteady;
        if (!why.isEmpty())
            return "it is a link in " + why;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlinkat(top().fd, name.constData(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size())
            return "its link could not be read";
        target.truncate(n);
        if (target.startsWith('/') && !fromRoot())
            return "its folder could not be opened";
        const std::deque<QByteArray> more = namesOf(target);
        names_.insert(names_.begin(), more.begin(), more.end());
        linked_ = true;
        return QString();
    }

    QString endOfLink() const {
        const QString why = notOwnAlone(top().info);
        return why.isEmpty() ? QString() : "it is a link into " + why;
    }

    void leave() {
        for (const Level& level : levels_) {
            if (level.fd >= 0)
                ::close(level.fd);
        }
        levels_.clear();
    }

    std::deque<QByteArray> names_;
    std::vector<Level> levels_;
    int links_ = 0;        // links followed so far
    bool linked_ = false;  // whether one was
    QByteArray file_;      // the file's name, once reached
};

}  // namespace

Result<RecordPlace, QString> RecordPlace::find(const QString& diskPath) {
    Walk walk(diskPath);
    if (!walk.fromRoot())
        return fail(QString("its folder could not be opened"));
    while (!walk.arrived()) {
        if (const QString refused = walk.step(); !refused.isEmpty())
            return fail(refused);
    }
    return RecordPlace(walk.takeFolder(), walk.file());
}

RecordPlace::RecordPlace(int folder, QByteArray name) : folder_(folder), name_(std::move(name)) {}

RecordPlace::RecordPlace(RecordPlace&& other) noexcept
    : folder_(std::exchange(other.folder_, -1)), name_(std::move(other.name_)) {}

RecordPlace& RecordPlace::operator=(RecordPlace&& other) noexcept {
    if (this != &other) {
        if (folder_ >= 0)
            ::close(folder_);
        folder_ = std::exchange(other.folder_, -1);
        name_ = std::move(other.name_);
    }
    return *this;
}

RecordPlace::~RecordPlace() {
    if (folder_ >= 0)
        ::close(folder_);
}

Result<Unit, QString> RecordPlace::replace(const QByteArray& bytes) const {
    return replaceInFolder(folder_, name_, bytes);
}

Result<Unit, QString> RecordPlace::append(const QByteArray& bytes) const {
    const int fd = ::openat(folder_, name_.constData(),
                            O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(errnoText(errno));
    struct stat info {};
    const QString refused = ::fstat(fd, &info) != 0      ? errnoText(errno)
                            : !S_ISREG(info.st_mode)     ? "it is no regular file"
                            : info.st_nlink != 1         ? "it has more than one link"
                            : info.st_uid != ::geteuid() ? "it belongs to another account"
                                                         : QString();
    const int error = refused.isEmpty() ? writeAll(fd, bytes) : 0;
    ::close(fd);
    if (!refused.isEmpty())
        return fail(refused);
    if (error != 0)
        return fail(errnoText(error));
    return Unit{};
}

Result<Unit, QString> writeWholeFile(const QString& diskPath, const QByteArray& bytes) {
    const auto place = RecordPlace::find(diskPath);
    if (!place)
        return fail(place.error());
    return place->replace(bytes);
}

Result<Unit, QString> appendToFile(const QString& diskPath, const QByteArray& bytes) {
    const auto place = RecordPlace::find(diskPath);
    if (!place)
        return fail(place.error());
    return place->append(bytes);
}

Result<Unit, QString> replaceInFolder(int folder, const QByteArray& name, const QByteArray& bytes) {
    // A file of the runner's standing there keeps its permissions; until
    // they are set, the new one is the runner's alone.
    struct stat old {};
    const bool replacing = ::fstatat(folder, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
                           S_ISREG(old.st_mode) && old.st_uid == ::geteuid();
    // A name nobody else holds: made here, never opened through a link.
    QByteArray temporary;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < kNameTries; ++tries) {
        temporary = "." + name + "." + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd = ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      replacing ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            return fail(withErrno("could not make a file in the folder", errno));
    }
    if (fd < 0)
        return fail(QString("could not make a file in the folder (no free name)"));
    int error = writeAll(fd, bytes);
    if (error == 0 && replacing && ::fchmod(fd, old.st_mode & 0777) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(folder, temporary.constData(), 0);
        return fail(withErrno("could not write the file", error));
    }
    // The rename replaces the name itself: whatever stood there is never
    // written through, and in a sticky folder the kernel keeps another
    // account's entry from being replaced (by anyone but root).
    if (::renameat(folder, temporary.constData(), folder, name.constData()) != 0) {
        error = errno;
        ::unlinkat(folder, temporary.constData(), 0);
        return fail(withErrno("could not put the file in place", error));
    }
    return Unit{};
}

Result<Unit, int> writeNewFile(const QString& diskPath, const QByteArray& bytes) {
    // A folder that cannot be made shows in the open's errno.
    QDir().mkpath(QFileInfo(diskPath).absolutePath());
    const QByteArray path = QFile::encodeName(diskPath);
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno);
    int error = writeAll(fd, bytes);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(path.constData());
        return fail(error);
    }
    return Unit{};
}

int writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString withErrno(const QString& what, int error) {
    return what + " (errno " + QString::number(error) + ")";
}

}  // namespace rk
