#include "permissions/identity/LegacyRepairAtStart.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairActions.h"
#include "permissions/identity/LegacyRepairPlan.h"
#include "permissions/identity/LegacyRepairStatus.h"
#include "platform/AppBundle.h"

namespace rk::KTLegacyIdentityRepair {

namespace {

// Set when a run starts, never cleared; main thread only.
bool ranThisLaunch = false;

// Runs `ask` on the main thread and waits for its answer; at once when this
// is the main thread, or when there is no application to hand it to.
bool askOnMainThread(const std::function<bool()>& ask) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return ask();
    bool answer = false;
    QMetaObject::invokeMethod(app, ask, Qt::BlockingQueuedConnection, &answer);
    return answer;
}

// Whether the own Screen Recording grant still reads off: here (no Screen
// Recording permission probes granted) and in a fresh copy of the app.
bool recheckOwnScreenOff(const RunSnapshot& snapshot) {
    const bool offHere = askOnMainThread([&snapshot] {
        return std::none_of(snapshot.screenPermissions.begin(), snapshot.screenPermissions.end(),
                            [](const KTPermission& permission) { return permission.probeGranted(); });
    });
    return offHere && freshScreenOff(snapshot) == true;
}

RunSnapshot snapshotOf(const KTWizardProduct& product, const QList<KTPermission>& permissions,
                       const QStringList& offIDs, const QString& ownID) {
    RunSnapshot snapshot{
        .app = AppIdentity::running(product, ownID),
        .ownedFolders = product.ownedBundleFolders,
        .slug = product.slug,
        .services = services(permissions),
        .screenPermissions = screenRecordingPermissions(permissions),
        .freshProcessGrants = KTPermissionWizard::freshProcessGrants,
    };
    for (const KTPermission& permission : snapshot.screenPermissions) {
        if (offIDs.contains(permission.id))
            snapshot.offScreenIDs << permission.id;
    }
    return snapshot;
}

}  // namespace

void runIfNeeded(const KTWizardProduct& product, const QList<KTPermission>& permissions) {
    if (product.legacyBundleIdentifiers.isEmpty() || ranThisLaunch || KTPermissionWizard::isCLIQuestion())
        return;
    const std::optional<QString> ownID = AppBundle::current().bundleIdentifier();
    if (!ownID)
        return;
    QStringList offIDs;
    for (const KTPermission& permission : permissions) {
        if (!permission.probeGranted())
            offIDs << permission.id;
    }
    if (offIDs.isEmpty())
        return;
    ranThisLaunch = true;
    const RunSnapshot snapshot = snapshotOf(product, permissions, offIDs, *ownID);
    const QPointer<QCoreApplication> app = QCoreApplication::instance();
    QThreadPool::globalInstance()->start([snapshot, app] {
        const QSet<QString> cleared = repair(snapshot);
        if (app) {
            QMetaObject::invokeMethod(
                app, [cleared] { Status::shared().addClearedServices(cleared); }, Qt::QueuedConnection);
        }
    });
}

QSet<QString> repair(const RunSnapshot& snapshot) {
    const std::optional<QString> dump = dumpText();
    const QList<Copy> copies = discover(snapshot.app, dump);
    const QList<OwnedAction> owned = discoverOwned(snapshot.ownedFolders, snapshot.app);
    const Plan planned = plan(Findings{
        .legacyIDs = snapshot.app.legacyIDs,
        .copies = copies,
        .services = snapshot.services,
        .ownScreenOff = freshScreenOff(snapshot),
        .stubDone = stubDone(snapshot.slug),
        .ownedActions = owned,
    });
    report("legacy repair: " + QString::number(copies.size()) + " old cop" +
           (copies.size() == 1 ? "y" : "ies") + " found; plan: " +
           (planned.isEmpty() ? QString("nothing to do") : planned.lines(snapshot.app.ownID).join(" | ")));
    if (planned.isEmpty())
        return {};
    return apply(
        planned, snapshot.app.ownID, snapshot.slug, [&snapshot] { return recheckOwnScreenOff(snapshot); },
        report);
}

std::optional<bool> freshScreenOff(const RunSnapshot& snapshot) {
    if (snapshot.offScreenIDs.isEmpty())
        return false;
    const std::optional<KTGrantMap> fresh =
        snapshot.freshProcessGrants ? snapshot.freshProcessGrants() : std::nullopt;
    if (!fresh)
        return std::nullopt;
    for (const QString& id : snapshot.offScreenIDs) {
        const auto entry = fresh->find(id);
        if (entry == fresh->end() || entry->second)
            return false;
    }
    return true;
}

void report(const QString& line) {
    KTPermissionWizard::log(line);
}

void installWizardStartHook() {
    KTPermissionWizard::beforePresenting = runIfNeeded;
}

}  // namespace rk::KTLegacyIdentityRepair
