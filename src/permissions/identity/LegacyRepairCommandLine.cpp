#include "permissions/identity/LegacyRepairCommandLine.h"

#include <algorithm>

#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairActions.h"
#include "permissions/identity/LegacyRepairDiscovery.h"
#include "permissions/identity/LegacyRepairSelftest.h"
#include "platform/AppBundle.h"
#include "platform/ToolOutput.h"

namespace rk::KTLegacyIdentityRepair {

namespace {

constexpr int kNotMeasured = 2;

void say(const QString& line) {
    printLine(stdout, line);
}

QString listOrNone(const QStringList& items) {
    return items.isEmpty() ? QString("none declared") : items.join(", ");
}

QString header(bool dryRun, const QString& ownID, const KTWizardProduct& product, bool dumpRead) {
    QStringList folders;
    for (const KTOwnedBundleFolder& folder : product.ownedBundleFolders)
        folders << folder.resolvedPath() + " (" + KTOwnedBundleFolder::rawValue(folder.disposition) + ")";
    return "legacy repair (" + QString(dryRun ? "dry run, nothing changed" : "apply") + "): own id " + ownID +
           "; legacy ids: " + listOrNone(product.legacyBundleIdentifiers) +
           "; LaunchServices dump: " + (dumpRead ? "read" : "NOT READ") +
           "; owned folders: " + listOrNone(folders);
}

// Off when there is a Screen Recording permission and none of them probes
// granted here; no fresh copy of the app is asked.
bool ownScreenOffHere(const QList<KTPermission>& permissions) {
    const QList<KTPermission> screen = screenRecordingPermissions(permissions);
    return !screen.isEmpty() &&
           std::none_of(screen.begin(), screen.end(),
                        [](const KTPermission& permission) { return permission.probeGranted(); });
}

}  // namespace

int runCLI(const QStringList& arguments) {
    if (arguments.contains("--selftest"))
        return selftest() ? 0 : 1;
    const KTWizardProduct product = KTPermissionWizard::product();
    const QList<KTPermission> permissions = KTPermissionWizard::configuredPermissions();
    const AppBundle& bundle = AppBundle::current();
    const std::optional<QString> ownID = bundle.bundleIdentifier();
    if (!ownID) {
        say("legacy repair: NOT MEASURED (this executable has no bundle id)");
        return kNotMeasured;
    }
    if (permissions.isEmpty()) {
        say("legacy repair: NOT MEASURED (configure() has not run)");
        return kNotMeasured;
    }
    const bool dryRun = arguments.contains("--dry-run");
    if (dryRun == arguments.contains("--apply")) {
        say("usage: --permission-repair-legacy --dry-run | --apply | --selftest");
        return kNotMeasured;
    }
    const std::optional<QString> dump = dumpText();
    const AppIdentity app = AppIdentity::running(product, *ownID, bundle);
    const QList<Copy> copies = discover(app, dump);
    const Plan planned = plan(Findings{
        .legacyIDs = app.legacyIDs,
        .copies = copies,
        .services = services(permissions),
        .ownScreenOff = dryRun ? std::nullopt : std::optional<bool>(ownScreenOffHere(permissions)),
        .stubDone = stubDone(product.slug),
        .ownedActions = discoverOwned(product.ownedBundleFolders, app),
    });

    say(header(dryRun, *ownID, product, dump.has_value()));
    const QStringList lines = planned.lines(*ownID);
    if (lines.isEmpty())
        say("  nothing to do");
    for (const QString& line : lines)
        say("  " + line);
    say("  " + QString::number(copies.size()) + (copies.size() == 1 ? " copy found" : " copies found"));
    if (!dryRun) {
        apply(
            planned, *ownID, product.slug, [&permissions] { return ownScreenOffHere(permissions); },
            [](const QString& line) { say("  " + line); });
    }
    return 0;
}

}  // namespace rk::KTLegacyIdentityRepair
