#include "finder/BackgroundStoreCache.h"

namespace rk {

Result<BackgroundStore::Snapshot, StoreError> BackgroundStoreCache::read(const SystemPaths& paths,
                                                                         const FileProbe& probe) {
    const auto file = BackgroundStore::storePath(paths, probe);
    if (!file) {
        last_.reset();
        return fail(file.error());
    }
    const QString disk = paths.disk(file->path);
    if (auto probed = canOpenForReading(disk, probe); !probed) {
        last_.reset();
        return fail(probed.error());
    }
    // Taken before the read: a file rewritten meanwhile is kept under its
    // older identity, so the next call reads it again rather than never.
    const std::optional<FileIdentity> identity = FileIdentity::of(disk);
    if (identity && last_ && last_->path == file->path && last_->identity == *identity)
        return last_->snapshot;

    auto read = BackgroundStore::read(paths, probe);
    // A newer file that appeared in between is read but not kept.
    if (read && identity && read->version == file->version)
        last_ = Entry{file->path, *identity, read.value()};
    else
        last_.reset();
    return read;
}

}  // namespace rk
