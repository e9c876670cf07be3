#include "permissions/identity/LegacyRepairPlan.h"

namespace rk::KTLegacyIdentityRepair {

namespace {
const QString kScreenCapture = "ScreenCapture";

// The own Screen Recording grant, decided only when the product declares it.
void decideOwnScreen(const Findings& findings, Plan& result) {
    if (!findings.services.contains(kScreenCapture))
        return;
    if (!findings.ownScreenOff)
        result.notes
            << "own Screen Recording reset decided at run time: only when it reads off here and in a "
               "fresh process";
    else if (*findings.ownScreenOff)
        result.ownResets << kScreenCapture;
    else
        result.notes << "own Screen Recording reads on (here or in a fresh process): not reset";
}
}  // namespace

QString Copy::description() const {
    return path + "  [" + bundleID + (declared ? ", legacy id" : ", same name, other id") + "]";
}

QString OwnedAction::renamedPath() const {
    return path + "." + bundleID + ".disabled";
}

QString OwnedAction::description() const {
    return KTOwnedBundleFolder::rawValue(disposition) + " " + path + "  [" + bundleID +
           ", in a folder this app owns]";
}

bool Plan::isEmpty() const {
    return copies.isEmpty() && legacyResets.isEmpty() && ownedActions.isEmpty() && ownResets.isEmpty();
}

QStringList Plan::lines(const QString& ownID) const {
    QStringList out;
    for (const LegacyReset& reset : legacyResets) {
        out << "reset " + reset.services.join(",") + " for legacy id " + reset.bundleID +
                   (reset.viaStub ? " (no copy registered: via a stub bundle)" : "");
    }
    for (const Copy& copy : copies)
        out << "unregister " + copy.description();
    for (const OwnedAction& action : ownedActions)
        out << action.description();
    for (const QString& service : ownResets)
        out << "reset " + service + " for this app (" + ownID + ") so its prompt re-arms";
    for (const QString& note : notes)
        out << "note: " + note;
    return out;
}

Plan plan(const Findings& findings) {
    Plan result{.copies = findings.copies, .ownedActions = findings.ownedActions};
    if (findings.legacyIDs.isEmpty())
        return result;
    const QStringList services = findings.services.isEmpty() ? kDefaultServices : findings.services;
    for (const QString& id : findings.legacyIDs) {
        const bool registered = std::any_of(findings.copies.begin(), findings.copies.end(),
                                            [&](const Copy& copy) { return copy.bundleID == id; });
        if (!registered && findings.stubDone.contains(id)) {
            result.notes << id +
                                ": no copy registered and its grants were already reset on an earlier launch";
            continue;
        }
        result.legacyResets << LegacyReset{.bundleID = id, .services = services, .viaStub = !registered};
    }
    decideOwnScreen(findings, result);
    return result;
}

}  // namespace rk::KTLegacyIdentityRepair
