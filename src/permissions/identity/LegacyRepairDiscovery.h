#pragma once
// The read-only half of the identity repair: which privacy service belongs
// to a permission's System Settings page, where the LaunchServices register
// tool is, the repair's one way to run a tool, what LaunchServices has
// registered (its dump), which registered bundles are former identities or
// same-name copies of the app, and which bundles in folders the app owns are
// such copies. Nothing here changes the machine.
//
// Paths are logical, as the registry and the dump give them; files are read
// through SystemPaths::disk.
//
// `KTLegacyIdentityRepair` is a namespace rather than a struct of static
// functions because the repair's steps (discovery, plan, actions, the run at
// wizard start, its command line and self-tests) each keep their part of it
// in a header of their own.
//
// `tccService`, `services`, `parseDump` and `isInside` are pure and may run
// on any thread, the main thread included (the wizard's screens call the
// first two while they draw). `run`, `dumpText` (up to 90 s), `discover` and
// `discoverOwned` block their thread, so callers with a window keep them off
// the main thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/identity/LegacyRepairPlan.h"
#include "platform/AppBundle.h"
#include "platform/AppRegistry.h"
#include "platform/Machine.h"
#include "platform/SystemPaths.h"

namespace rk::KTLegacyIdentityRepair {

// The privacy service ("ScreenCapture", "Accessibility", "ListenEvent",
// "SystemPolicyAllFiles", "Microphone", "Camera", "AppleEvents") of a privacy
// page link, in the form the reset tool takes; none for any other link, the
// Login Items page among them.
std::optional<QString> tccService(const QUrl& settingsURL);

// The services of the permissions' pages, in order, each once; permissions
// whose page has no service add nothing.
QStringList services(const QList<KTPermission>& permissions);

// The file to run for the LaunchServices register tool: the first of its
// places that holds an executable file, or none. Looked up once per machine
// layout (so once per process in the app; again when a test re-roots the
// machine); safe from any thread.
std::optional<QString> lsregisterPath(const SystemPaths& paths = SystemPaths::current());

inline constexpr std::chrono::milliseconds defaultToolLimit{30'000};

// Runs `path` with `arguments` directly (never through a shell), both output
// channels on one pipe, asked to stop at `limit`: status -1 and the reason
// when it cannot start. See Machine::runMerged.
ToolResult run(const QString& path, const QStringList& arguments,
               std::chrono::milliseconds limit = defaultToolLimit);

// One registered app bundle of the LaunchServices dump.
struct DumpRecord {
    QString path{};
    QString id{};
    QStringList names{};  // its "name" and "displayName" entries, in the order met, repeats kept

    friend bool operator==(const DumpRecord&, const DumpRecord&) = default;
};

// The dump is the slow step: a limit of its own.
inline constexpr std::chrono::milliseconds dumpLimit{90'000};

// The whole LaunchServices dump; none without a register tool, when the
// dump fails or when it is empty (a dump not read).
std::optional<QString> dumpText(const SystemPaths& paths = SystemPaths::current());

// The app bundles of a dump, in its order: records are separated by lines
// beginning "-----"; only a record's top-level "path", "identifier", "name"
// and "displayName" lines count (indented lines belong to nested blocks);
// a record without a path ending ".app" or without an identifier is
// dropped. Never fails.
QList<DumpRecord> parseDump(const QString& text);

// The permissions whose page is Screen Recording's, in order.
QList<KTPermission> screenRecordingPermissions(const QList<KTPermission>& permissions);

// Who the app is and was, as discovery compares bundles with it.
struct AppIdentity {
    QStringList legacyIDs{};     // the product's former identifiers
    QStringList displayNames{};  // the app's names, compared ignoring case
    QString ownID{};             // the running app's bundle identifier
    QString ownPath{};           // the running app's bundle (logical)

    // The running app as `product` declares it: its former identifiers, its
    // name and shown name (once when they are equal), `ownID` and the
    // bundle's path.
    static AppIdentity running(const KTWizardProduct& product, const QString& ownID,
                               const AppBundle& bundle = AppBundle::current());
};

// The registered bundles that carry a former identifier (asked of the
// registry per identifier) or, in the dump when there is one, a former
// identifier or one of the app's names under any identifier; never the app's
// own path or identifier; each path once, the registry's finding first;
// sorted by path.
QList<Copy> discover(const AppIdentity& app, const std::optional<QString>& dumpText,
                     const AppRegistry& registry = AppRegistry::current());

// The ".app" entries directly inside each owned folder ("/" is never
// listed) that carry a former identifier or one of the app's names in their
// Info.plist; links that lead out of the folder, the app's own bundle and
// bundles under the app's own identifier are skipped. Folders in the given
// order, entries in name order; unreadable folders and bundles are skipped
// without a word.
QList<OwnedAction> discoverOwned(const QList<KTOwnedBundleFolder>& folders, const AppIdentity& app,
                                 const SystemPaths& paths = SystemPaths::current());

// `path` lies strictly below `folder` (a trailing "/" on the folder changes nothing).
bool isInside(const QString& path, const QString& folder);

}  // namespace rk::KTLegacyIdentityRepair
