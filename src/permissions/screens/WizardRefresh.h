#pragma once
// One refresh of the wizard's picture of its permissions, run by the root
// view when it comes on screen, once a second and when the app becomes
// active: every permission is probed (or its forced answer taken), the
// Accessibility grant is watched for the stale grant that only a restart
// makes visible, and a permission that is not granted is asked whether its
// box is ticked in System Settings all the same ("ticked but dead").
//
// The stale-grant watch: listening to input events is seen denied while the
// view lives, later it is no longer denied, and still the Accessibility
// probe says no. macOS then holds a grant this process cannot see, and the
// app relaunches itself in the background, once per permission until the
// permission reads granted again. Main thread; everything outside the state
// goes through the environment.

#include <QList>
#include <QSet>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/screens/WizardEnvironment.h"

namespace rk {

// What the root view knows between passes.
struct KTRefreshState {
    KTGrantMap granted{};        // the latest answer per permission id
    KTGrantMap tickedDead{};     // per id: ticked in System Settings, not in effect here
    bool sawListenDeny = false;  // only ever becomes true while the view lives
    friend bool operator==(const KTRefreshState&, const KTRefreshState&) = default;
};

// Fixed answers for rendering set states; absent: ask the machine.
struct KTRefreshForcing {
    // Entries take the place of the probes. Present, even empty, it switches
    // the stale-grant watch off.
    std::optional<KTGrantMap> grants{};
    // Present: exactly these ids count as ticked but dead.
    std::optional<QSet<QString>> tickedDead{};
};

struct KTWizardRefresh {
    enum class Outcome {
        published,   // `granted` and `tickedDead` updated
        relaunched,  // a background relaunch was started; nothing published
    };

    // One pass over `permissions`. The record is rewritten only when the
    // grant map changed.
    static Outcome run(const QList<KTPermission>& permissions, const KTRefreshForcing& forcing,
                       KTRefreshState& state, const KTWizardEnvironment& environment);
};

}  // namespace rk
