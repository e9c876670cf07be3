#include "permissions/screens/WizardRefresh.h"

#include "permissions/PermissionProbes.h"

namespace rk {

namespace {
std::optional<bool> forcedAnswer(const KTRefreshForcing& forcing, const QString& id) {
    if (!forcing.grants)
        return std::nullopt;
    const auto entry = forcing.grants->find(id);
    if (entry == forcing.grants->end())
        return std::nullopt;
    return entry->second;
}

// Whether this pass must relaunch for `p`: the watch runs only without
// forced grants and only for the Accessibility page.
bool relaunchesFor(const KTPermission& p, bool granted, const KTRefreshForcing& forcing,
                   KTRefreshState& state, const KTWizardEnvironment& environment) {
    if (forcing.grants || p.settingsURL != KTPermissionProbes::Pane::accessibility())
        return false;
    const bool listenDenied = environment.listenDenied();
    if (listenDenied)
        state.sawListenDeny = true;
    if (!p.restartsOnStaleGrant || environment.restartDidNotHold().contains(p.id))
        return false;
    return !listenDenied && state.sawListenDeny && !granted && !environment.relaunchTried(p.id);
}
}  // namespace

KTWizardRefresh::Outcome KTWizardRefresh::run(const QList<KTPermission>& permissions,
                                              const KTRefreshForcing& forcing, KTRefreshState& state,
                                              const KTWizardEnvironment& environment) {
    KTGrantMap granted;
    KTGrantMap ticked;
    for (const KTPermission& p : permissions) {
        const std::optional<bool> forced = forcedAnswer(forcing, p.id);
        const bool answer = forced ? *forced : p.probeGranted();
        granted[p.id] = answer;
        if (relaunchesFor(p, answer, forcing, state, environment)) {
            environment.setRelaunchTried(p.id, true);
            environment.relaunch(true);
            return Outcome::relaunched;
        }
        if (answer) {
            ticked[p.id] = false;
            environment.setRelaunchTried(p.id, false);
        } else if (forcing.tickedDead) {
            ticked[p.id] = forcing.tickedDead->contains(p.id);
        } else {
            ticked[p.id] = p.checkboxProbe ? p.checkboxProbe() : false;
        }
    }
    state.tickedDead = ticked;
    if (granted != state.granted) {
        state.granted = granted;
        environment.writeRecord();
    }
    return Outcome::published;
}

}  // namespace rk
