#pragma once
// The background-task store's last parse, handed back again while the store
// file stays the same. The application model reads the store every few
// seconds while a page shows; a store that has grown to megabytes takes tens
// of milliseconds to parse, and at rest nothing in it has changed.
//
// Owned by the application model and used on its thread only.

#include <optional>

#include "finder/BackgroundStore.h"
#include "platform/FileIdentity.h"

namespace rk {

class BackgroundStoreCache {
public:
    // What BackgroundStore::read() answers. While the newest store file is
    // the one last read and its identity (device, inode, size, modification
    // time) has not changed, the last snapshot comes back without the file
    // being read; finding the file and checking that it opens still happen
    // every time. A store refused for what it holds is refused again the
    // same way without a read; failures to read it are never kept.
    Result<BackgroundStore::Snapshot, StoreError> read(const SystemPaths& paths = SystemPaths::current(),
                                                       const FileProbe& probe = FileProbe::current());

private:
    struct Entry {
        QString path;  // logical
        FileIdentity identity;
        Result<BackgroundStore::Snapshot, StoreError> outcome;  // a parse, or a store's refusal
    };
    std::optional<Entry> last_;
};

}  // namespace rk
