#pragma once
// The identity repair at wizard start. Each presentation of the permission
// wizard hands its product and permissions to `runIfNeeded`, which decides
// on the main thread, without waiting, whether the grants left under the
// product's former bundle identifiers are repaired in this launch: at most
// once per process, never in a process started for a command-line question,
// and only while some declared permission reads off. A product that declares
// no former identifier (this app) never starts it.
//
// A run takes a snapshot on the main thread and does everything else on a
// worker: discovery, the fresh-process check, the plan, its summary line and,
// for a plan with work, the actions. Each line goes to the log as
// "KTPermissionWizard: " + line and to the wizard's decision hook on the main
// thread; the services reset are published through `Status` on the main
// thread. The worker waits for the main thread only to probe the own Screen
// Recording grant again; the main thread never waits for the worker.

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/identity/LegacyRepairDiscovery.h"

namespace rk::KTLegacyIdentityRepair {

// What one run needs, taken on the main thread.
struct RunSnapshot {
    AppIdentity app{};
    QList<KTOwnedBundleFolder> ownedFolders{};
    QString slug{};
    QStringList services{};  // of all declared permissions
    // The Screen Recording permissions that read off when the run started, by id.
    QStringList offScreenIDs{};
    // Every Screen Recording permission, on or off; probed on the main thread.
    QList<KTPermission> screenPermissions{};
    // The wizard's fresh-process check at that moment; none when the host never turned it on.
    std::function<std::optional<KTGrantMap>()> freshProcessGrants{};
};

// Starts this launch's repair when every guard passes; returns at once.
// Main thread.
void runIfNeeded(const KTWizardProduct& product, const QList<KTPermission>& permissions);

// The run itself, on the calling thread: discovery, plan, the summary line
// "legacy repair: <n> old cop(y|ies) found; plan: ..." and, when the plan has
// work, the actions with `report` as their log. Returns the services reset.
// Blocks for as long as the tools take.
QSet<QString> repair(const RunSnapshot& snapshot);

// True when a fresh copy of the app also sees every off Screen Recording
// permission off; false when none is off or the fresh copy sees one on;
// none when the fresh copy cannot tell. Starts the fresh copy each time.
std::optional<bool> freshScreenOff(const RunSnapshot& snapshot);

// One line of a run: to the log, then to the wizard's decision hook.
void report(const QString& line);

// Makes every presentation of the permission wizard call `runIfNeeded`
// first. The host calls it where it configures the wizard.
void installWizardStartHook();

}  // namespace rk::KTLegacyIdentityRepair
