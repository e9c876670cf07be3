#pragma once
// What the foot of the permission screen says and does, decided without a
// window: the primary button's label and what a press does, whether the
// screen is waiting for macOS, the skip link and the status line under the
// buttons, with the line that says where to switch the app on while the
// screen waits and its "Quit and Reopen" link, or the line that System
// Settings could not be opened here; and, for each second waited,
// whether to ask a freshly started copy of the app if it sees the grant and
// whether to offer the drag companion. Pure functions over the permission,
// the product and the screen's facts (see `KTPermissionFacts`).

#include <QColor>
#include <QString>
#include <QUrl>
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
        bool accent = false;         // drawn in the accent's text colour, else muted
        bool waiting = false;        // the waiting text, which the screen may add to
        bool quitAndReopen = false;  // the waiting text ends with the "Quit and Reopen" link
        friend bool operator==(const Status&, const Status&) = default;
    };

    // What one second of waiting looks at.
    struct WaitFacts {
        int waitedSeconds = 0;      // counted with this second
        bool forcedDidAsk = false;  // rendered as asked: never asks a copy nor offers anything
        bool isGranted = false;
        bool isTickedDead = false;
        bool restarting = false;
        bool freshInFlight = false;    // a question to a fresh copy is still out
        bool canAskFreshCopy = false;  // the host enabled the fresh-process check
        bool dragCapable = false;      // the permission's list takes a dragged app
        bool hasBrand = false;         // the wizard is configured with a brand
        friend bool operator==(const WaitFacts&, const WaitFacts&) = default;
    };
    // A fresh copy is asked every third second waited, one question at a time.
    static constexpr int freshCopyEvery = 3;

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

    // The link inside the waiting text; the screen catches it and relaunches
    // the app. It is not registered with the system.
    static QUrl quitAndReopenURL();
    // The status text as one rich-text line: the text escaped, then, when the
    // status has it, " Quit and Reopen." with the link underlined in `link`.
    static QString statusHtml(const Status& status, const QColor& link);

    static bool asksFreshCopy(const WaitFacts& facts);
    // Exactly at `notInListDelay` seconds, for a permission still waiting in
    // a list that takes a dragged app.
    static bool offersCompanion(const WaitFacts& facts, int notInListDelay);
    // The fresh copy's answer holds this permission, which was off when the
    // question went out.
    static bool freshCopyHolds(const std::optional<KTGrantMap>& answer, const QString& id, bool wasGranted);
};

}  // namespace rk
