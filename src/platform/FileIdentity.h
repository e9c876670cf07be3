#pragma once
// Which file a path names right now, and in which state: its device, inode,
// size and modification time to the nanosecond. Two equal identities of one
// path stand for the same bytes: writing the file moves its time or its size,
// and a new file renamed over it brings a new inode. Asked of the file system
// at each call, from any thread; nothing is kept.

#include <QString>
#include <QtGlobal>
#include <optional>

namespace rk {

struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;  // since 1970

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;

    // None when nothing can be learnt of the path (missing, no permission).
    static std::optional<FileIdentity> of(const QString& diskPath);
};

}  // namespace rk
