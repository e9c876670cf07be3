#pragma once
// Where a download is unpacked and checked before it is installed: a staging
// folder "KTUpdate-<appKey>-<version>-<build>", one per offered version and
// build, inside a folder that only this person can enter, never the shared
// temporary folder where another account could plant or read things.
//
// The private folder is "KTUpdate" in the session's runtime folder
// ($XDG_RUNTIME_DIR) when that is a folder of this person's own that no one
// else may enter; otherwise a folder made once per process with mkdtemp in
// the temporary folder. Either is mode 0700 and belongs to this person,
// which is checked before it is used.
//
// The staging folder's name comes partly from the feed, so "/" and ".." in
// it become "_": the name is always one plain folder name, and a new attempt,
// which starts by removing whatever stands at that name, can only ever
// remove a folder inside the private folder.
//
// Called on the update queue; nothing here is kept in memory but the
// fallback folder's path.

#include <QString>

#include "platform/Result.h"

namespace rk::KTUpdate {

// The private folder, created when missing; the reason when there is none.
Result<QString, QString> privateTemporaryFolder();

// "KTUpdate-<appKey>-<version>-<build>", with "/" and ".." written "_".
QString stagingFolderName(const QString& key, const QString& version, qint64 build);

// The staging folder for the entry, emptied: whatever stood at its place is
// removed (a failure to remove is ignored) and the folder made anew. The
// reason when it cannot be made.
Result<QString, QString> freshStagingFolder(const QString& key, const QString& version, qint64 build);

}  // namespace rk::KTUpdate
