#pragma once
// What the foot of the permission screen says and does, decided without a
// window: the primary button's label and what a press does, whether the
// screen is waiting for macOS, the skip link and the status line under the
// buttons, with the line that says where to switch the app on while the
// screen waits. Pure functions over the permission, the product and the
// screen's facts (see `KTPermissionFacts`).

#include <QString>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/screens/PermissionSections.h"

namespace rk {

struct PermissionActions {
    enum class Press {
        continueOn,  // the permission is on: go to the next step
        relaunch,    // ticked but dead, no relaunch tried yet: record the try and relaunch
        ask,         // ask for it and open its System Settings page (again)
    };

    struct Status {
        QString text{};
        bool accent = false;   // drawn in the accent's text colour, else muted
        bool waiting = false;  // the waiting text, which the screen may add to
        friend bool operator==(const Status&, const Status&) = default;
    };

    // Asked, not granted, and not a ticked-but-dead grant still to relaunch for.
    static bool isWaiting(const KTPermissionFacts& facts);
    static Press press(const KTPermissionFacts& facts);
    static QString primaryLabel(const KTPermission& permission, const KTWizardProduct& product,
                                const KTPermissionFacts& facts);
    // "Skip" for an optional permission, "Skip for now" otherwise; none once granted.
    static std::optional<QString> skipTitle(const KTPermission& permission, bool isGranted);
    static Status status(const KTPermission& permission, const KTWizardProduct& product,
                         const KTPermissionFacts& facts);
    static QString waitLine(const KTWizardProduct& product, const KTPermissionFacts& facts);
};

}  // namespace rk
