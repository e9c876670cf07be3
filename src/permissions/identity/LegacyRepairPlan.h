#pragma once
// What the identity repair found and what it will do about it. When an app's
// bundle identifier changes, the privacy grants and the LaunchServices
// registrations made under the former identity stay behind; the repair
// clears what was left under the former identities a product declares. These
// are its findings (registered copies, copies in folders the app owns) and
// the pure rule that turns them into a plan, with the plan's text lines for
// the log and for the command line's dry run.
//
// Values only; the rule reads nothing but its arguments, so any thread may
// call it. Discovery fills the findings (LegacyRepairDiscovery.h), the
// actions carry a plan out (LegacyRepairActions.h).

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

#include "permissions/Permission.h"

namespace rk::KTLegacyIdentityRepair {

// A registered app bundle that is a former identity or a same-name copy of
// the app.
struct Copy {
    QString path{};         // the bundle, standardised (logical)
    QString bundleID{};     // the identifier it is registered under
    bool declared = false;  // a declared former identifier; false for a copy that matched by name

    // Path, two blanks, "[", identifier, ", legacy id" or ", same name, other id", "]".
    QString description() const;

    friend bool operator==(const Copy&, const Copy&) = default;
};

// One former identity whose privacy grants are reset.
struct LegacyReset {
    QString bundleID{};
    QStringList services{};  // privacy services to reset, in order
    bool viaStub = false;    // no bundle carries the identifier: reset through a temporary stub app

    friend bool operator==(const LegacyReset&, const LegacyReset&) = default;
};

// A copy of the app found inside a folder the app owns.
struct OwnedAction {
    QString path{};      // the bundle, links resolved (logical)
    QString bundleID{};  // the identifier its Info.plist held when it was found
    KTOwnedBundleFolder::Disposition disposition = KTOwnedBundleFolder::Disposition::rename;
    QString folder{};  // the owned folder it was found in, resolved; nothing outside it is ever touched

    // The name the bundle gets when renamed: path + "." + identifier +
    // ".disabled", which no longer ends in ".app".
    QString renamedPath() const;
    // "rename" or "remove", a blank, path, two blanks, "[", identifier, ", in a folder this app owns]".
    QString description() const;

    friend bool operator==(const OwnedAction&, const OwnedAction&) = default;
};

// What one repair run will do.
struct Plan {
    QList<Copy> copies{};  // registered copies to unregister
    QList<LegacyReset> legacyResets{};
    QList<OwnedAction> ownedActions{};
    QStringList ownResets{};  // privacy services to reset for the app's own identity
    QStringList notes{};      // what is left alone, and why

    // Nothing to do; notes alone leave a plan empty.
    bool isEmpty() const;
    // One line per action or note: resets, unregistrations, owned copies,
    // own resets, notes. A plan with nothing at all has no lines.
    QStringList lines(const QString& ownID) const;

    friend bool operator==(const Plan&, const Plan&) = default;
};

// What the plan is made from.
struct Findings {
    QStringList legacyIDs{};  // the product's former identifiers
    QList<Copy> copies{};     // registered copies found
    QStringList services{};   // the services of the product's permissions
    // The app's own Screen Recording grant reads off (here and in a fresh
    // process); none when undecided.
    std::optional<bool> ownScreenOff{};
    QSet<QString> stubDone{};  // former identifiers already reset through a stub
    QList<OwnedAction> ownedActions{};
};

// The services reset when the permissions name none.
inline const QStringList kDefaultServices{"ScreenCapture", "Accessibility", "AppleEvents"};

// The plan rule. Without a former identifier: the copies and owned actions
// and nothing else. Otherwise each former identifier gets an in-place reset
// when a copy carries it, none (only a note) when its stub reset was done
// before, else a reset through a stub; and when Screen Recording is among
// the services, the own grant is reset only when it reads off.
Plan plan(const Findings& findings);

}  // namespace rk::KTLegacyIdentityRepair
