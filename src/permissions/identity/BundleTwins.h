#pragma once
// The other copies of the running app that carry its bundle identifier (an
// older build in another folder, a copy on a disk image, a duplicate under
// another file name) and the names under which a System Settings privacy list
// may show the app's row. The permission screen's waiting line uses them to
// say that the row may be listed under another name, and whose name it is.
//
// Bundle paths are logical, as the registry gives them; files are read
// through SystemPaths::disk. Writes nothing. `all` is scanned once per
// process under a thread-safe one-time start; the rest reads one Info.plist
// per bundle each time and is cheap enough for a view that recomputes its
// text. Called on the main thread by the wizard's screens.

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/AppBundle.h"
#include "platform/AppRegistry.h"
#include "platform/SystemPaths.h"

namespace rk {

struct KTBundleTwins {
    // The names of all other same-identifier copies, from `scan` of the
    // running app at first use. A copy installed or removed later in the run
    // is not seen.
    static const QStringList& all();

    // The listed names of every registered copy with `bundleID` other than
    // the one at `selfPath` (links resolved on both sides), skipping copies
    // whose files are gone; exact duplicates dropped. Empty without a bundle
    // identifier, and then the registry is not asked.
    static QStringList scan(const std::optional<QString>& bundleID, const QString& selfPath,
                            const AppRegistry& registry = AppRegistry::current(),
                            const SystemPaths& paths = SystemPaths::current());

    // At most three names of the bundle at `bundlePath`: its Info.plist's
    // "CFBundleDisplayName", its "CFBundleName", its file name without the
    // extension; empty ones and later ones equal ignoring case dropped.
    static QStringList listedNames(const QString& bundlePath,
                                   const SystemPaths& paths = SystemPaths::current());

    // This copy's own listed names, then `twins`, keeping each name that does
    // not equal `shown` ignoring case and is not a case-insensitive repeat of
    // one kept before; order kept.
    static QStringList names(const QString& shown, const QStringList& twins = all(),
                             const AppBundle& bundle = AppBundle::current(),
                             const SystemPaths& paths = SystemPaths::current());

    // The one name a bundle shows: "CFBundleDisplayName", else
    // "CFBundleName" (each when a string, an empty one included), else the
    // file name without the extension.
    static QString displayName(const QString& bundlePath, const SystemPaths& paths = SystemPaths::current());
};

}  // namespace rk
