#pragma once
// The wizard's walk as plain rules over the step number and the grant map:
// which screen a step shows, what the footer under it holds, where "Get
// Started" goes and where going on leads. Step -1 (any step below 0) is the
// summary, 0 to n - 1 are the permissions in order, n and above the done
// screen, for n permissions. Pure functions; the root view calls them.

#include <QList>
#include <QString>

#include "permissions/Permission.h"

namespace rk {

struct KTWizardSteps {
    enum class Screen { summary, permission, done };

    // The footer row under a screen, with its "Back" link.
    struct Footer {
        bool shown = false;
        double dividerOpacity = 0;  // of the hairline above the row
        bool backAllowed = false;   // visible and clickable; otherwise it keeps its place unseen
        friend bool operator==(const Footer&, const Footer&) = default;
    };

    static Screen screen(int step, int count);
    // None on the summary and on step 0 of fewer than two permissions.
    static Footer footer(int step, int count);
    // Whether `granted` holds true for `id` (a missing entry is not granted).
    static bool isGranted(const KTGrantMap& granted, const QString& id);
    // The index of the first permission not granted; `count` when all are.
    static int firstOutstanding(const QList<KTPermission>& permissions, const KTGrantMap& granted);
    // The next step, never past the done screen; a granted permission is
    // still shown on its way.
    static int advance(int step, int count);
};

}  // namespace rk
