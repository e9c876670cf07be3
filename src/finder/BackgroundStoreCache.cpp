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
        return last_->outcome;

    auto read = BackgroundStore::read(paths, probe);
    // A newer file that appeared in between is read but not kept. The same
    // bytes are refused the same way again; a read that failed may not fail next time.
    const bool kept = read ? read->version == file->version : read.error().kind == StoreError::Kind::format;
    if (identity && kept)
        last_ = Entry{file->path, *identity, read};
    else
        last_.reset();
    return read;
}

}  // namespace rk
