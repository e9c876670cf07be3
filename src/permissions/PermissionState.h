#pragma once
// The permission record: "permissions.json" in the dot-folder of the home
// folder named after the product's slug, saying which permissions this app
// holds, which are optional and which the person skipped. Other tools and
// later launches read it; a record written under another bundle identifier
// says nothing about this copy of the app.
//
//   {
//     "bundle_id": "org.example.app",        (null when the app has none)
//     "permissions": [
//       {"id": "screen", "title": "Screen Recording", "optional": true,
//        "capability_probe": false, "skipped": true}
//     ]
//   }

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

#include "permissions/Permission.h"
#include "platform/SystemPaths.h"

namespace rk {

struct KTPermissionState {
    // The logical dot-folder for `slug`; none for a slug that could name
    // another folder (empty, with a slash, or beginning with a dot).
    static std::optional<QString> folder(const QString& slug,
                                         const SystemPaths& paths = SystemPaths::current());
    // The file to open for the record of `slug`.
    static std::optional<QString> recordFile(const QString& slug,
                                             const SystemPaths& paths = SystemPaths::current());

    // The record's bytes; calls each permission's probe.
    static QByteArray record(const QList<KTPermission>& permissions, const QSet<QString>& skipped,
                             const std::optional<QString>& bundleID);

    // Rewrites the configured product's record atomically. Callers drop a
    // failure: the record is advice for later readers, never needed to run.
    static bool write(const QList<KTPermission>& permissions, const QSet<QString>& skipped,
                      const SystemPaths& paths = SystemPaths::current(),
                      const AppBundle& bundle = AppBundle::current());

    // Whether the record of `slug` on disk was written under a bundle
    // identifier other than `ownBundleID`. False without an own identifier,
    // without a record, or for one that cannot be read or names no writer.
    static bool writtenByAnotherIdentity(const QString& slug, const std::optional<QString>& ownBundleID,
                                         const SystemPaths& paths = SystemPaths::current());

    // The ids the record says are granted; empty when it was written under a
    // bundle identifier other than `ownBundleID`, or cannot be read.
    static QSet<QString> grantedIDs(const QByteArray& record, const std::optional<QString>& ownBundleID);
};

}  // namespace rk
