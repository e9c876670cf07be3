#pragma once
// The two file-system questions whose failure reason matters: may this file be
// opened for reading, and what does this folder hold. Both answer with the
// errno on failure, so callers can tell "no permission" from "missing". A seam,
// because tests run as root, where a mode of 000 does not stop a read.
//
// Beside it, the one bounded read of a file anyone may have written, and the
// one write of the program's own records, which never replaces what is no
// regular file of the runner's.

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

// `bytes` as the whole file at `diskPath`, replaced at once (written under a
// fresh name beside it, then renamed over it), so a crash leaves the old file
// or the new one, never half of either; its folder is made when missing. A
// link at the path is followed, but only to a regular or missing file in a
// folder that only the runner may write. Anything else standing there (a
// pipe, a device, a folder, a link into a folder others may write, or a loop
// of links) is refused and left as it is; the error says why, for the log.
Result<Unit, QString> writeWholeFile(const QString& diskPath, const QByteArray& bytes);

// `bytes` added at the end of the file at `diskPath`, made when missing, with
// the same rules for what stands there; opened without blocking, so a pipe
// put in its place is refused instead of waited on.
Result<Unit, QString> appendToFile(const QString& diskPath, const QByteArray& bytes);

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

}  // namespace rk
