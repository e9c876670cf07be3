#pragma once
// The two file-system questions whose failure reason matters: may this file be
// opened for reading, and what does this folder hold. Both answer with the
// errno on failure, so callers can tell "no permission" from "missing". A seam,
// because tests run as root, where a mode of 000 does not stop a read.
//
// Beside it, the one bounded read of a file anyone may have written, and the
// one write of the program's own records, which never replaces what is no
// regular file of the runner's and never writes where others could have
// steered it (RecordPlace says how).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/Result.h"

namespace rk {

class FileProbe {
public:
    virtual ~FileProbe() = default;

    // 0 when `diskPath` opens read-only (it is closed again at once), else errno.
    virtual int openForReading(const QString& diskPath) const = 0;
    // The names in the folder `diskPath` (without "." and ".."), in the order
    // the file system lists them, or the errno of the failure.
    virtual Result<QStringList, int> listFolder(const QString& diskPath) const = 0;

    static FileProbe& current();
    static void setCurrent(FileProbe* probe);  // nullptr restores the host probe
};

// The host's answers: open(2)/close(2) and opendir(3)/readdir(3).
class HostFileProbe : public FileProbe {
public:
    int openForReading(const QString& diskPath) const override;
    Result<QStringList, int> listFolder(const QString& diskPath) const override;
};

// The whole regular file at `diskPath`, or the errno of the failure: EFBIG
// when it holds more than `cap` bytes, EINVAL when it is no regular file (a
// pipe, a device, a folder, a link to one). The size is checked before a byte
// is read and only what the file holds is allocated; the file is opened
// without blocking, so a pipe put in its place cannot hang the reader. For
// files anyone may have written.
Result<QByteArray, int> readWholeFile(const QString& diskPath, qint64 cap);

// The same checks without the read, on a descriptor opened without blocking
// and closed again: for a file that a library then opens by its path, which
// would wait for ever on a pipe.
Result<Unit, int> checkRegularFile(const QString& diskPath, qint64 cap);

// Where a write of one of the program's records lands: the folder, held
// open, and the file's name in it. Found by walking the path one folder at a
// time from "/", each folder opened through the one before it without
// following a link, so that nothing renamed afterwards moves the write
// elsewhere; missing folders are made on the way, closed to others' writes.
//
// A folder is steady when nobody but the runner and root can change its
// names: it is the runner's or root's, and others may not write to it, or it
// has the sticky bit and the name taken from it is the runner's or root's.
// A link, wherever it stands on the path, is followed only when every folder
// on the way to it is steady, the link's own folder included; once one is
// followed, every folder the walk goes on through must be steady too, and
// the folder it ends in must be the runner's own, closed to others' writes.
// Without a link the path is taken as it is. The name at the end must be a
// regular file or missing. Anything else (a pipe, a device, a folder, a link
// others could have steered or a loop of links) is refused and left as it
// is; the error says why, for the log.
//
// Any thread; a place is not shared between threads.
class RecordPlace {
public:
    // The place of the file at `diskPath`, or why nothing may be written there.
    static Result<RecordPlace, QString> find(const QString& diskPath);

    RecordPlace(RecordPlace&& other) noexcept;
    RecordPlace& operator=(RecordPlace&& other) noexcept;
    ~RecordPlace();

    // `bytes` as the whole file, replaced at once through replaceInFolder:
    // whatever stands at the name by then is replaced, never written into.
    Result<Unit, QString> replace(const QByteArray& bytes) const;
    // `bytes` added at the end of the file, made when missing (0644 before
    // the umask). Opened without following a link and without blocking;
    // refused unless it is a regular file of the runner's with no other name
    // (a hard link would carry the lines into a file of someone's choosing).
    Result<Unit, QString> append(const QByteArray& bytes) const;

private:
    RecordPlace(int folder, QByteArray name);

    int folder_ = -1;  // the open folder; -1 once moved from
    QByteArray name_;  // the file's name in it
};

// RecordPlace::find then replace: a crash leaves the old file or the new
// one, never half of either.
Result<Unit, QString> writeWholeFile(const QString& diskPath, const QByteArray& bytes);

// RecordPlace::find then append.
Result<Unit, QString> appendToFile(const QString& diskPath, const QByteArray& bytes);

// `bytes` as the file `name` of the open folder `folder`: written under a
// fresh private name beside it (made there, never opened through a link),
// synced, then renamed over `name`, so that whatever stood at the name is
// replaced, never written through. A file of the runner's it replaces keeps
// its permissions; else the file gets 0666 before the umask. Nothing is left
// behind on a failure, whose text says which step failed.
Result<Unit, QString> replaceInFolder(int folder, const QByteArray& name, const QByteArray& bytes);

// `bytes` as a new file at `diskPath`, where nothing may stand yet: made
// with O_EXCL, so an earlier file, a link or anything else at the name is
// neither replaced nor written through (EEXIST); its folder is made when
// missing. A file that could not be written whole is removed again. The
// error is the errno of the failure.
Result<Unit, int> writeNewFile(const QString& diskPath, const QByteArray& bytes);

// All of `bytes` written to `fd`, again after an interruption: 0, else the
// errno (EIO when the descriptor takes no more).
int writeAll(int fd, const QByteArray& bytes);

// The system's words for an errno value.
QString errnoText(int error);

// `what` with the errno value after it, for a text that names the step:
// "could not write the file (errno 28)".
QString withErrno(const QString& what, int error);

}  // namespace rk
