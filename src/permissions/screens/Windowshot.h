#pragma once
// The window shots: every screen of the permission wizard in each of its
// characteristic states, first in the dark and then in the light scheme, at
// the wizard's width of 660 and a chosen height, as PNG files; then the drag
// companion's card in both modes and both schemes. For each screen it also
// judges whether the content fits the window without scrolling. It prints
// one line per file written, a summary and the screens whose content runs
// past the fold, and gives the exit status: 0 when every file was written
// and every screen fits, else 1.
//
// The command line reaches it through the wizard core
// (`KTPermissionWizard::runWindowshotCLI`), which checks the configuration
// first; `install()` hands the core this renderer and the shell calls it.
// Nothing comes on screen: each screen is the wizard's root view driven into
// its state through its forced fields, laid out and drawn off screen, with
// the machine left as it was (no user default and no record is written).
// Main thread of a QApplication; it turns the event loop itself while each
// image settles.

#include <QList>
#include <QSet>
#include <QString>
#include <QTextStream>
#include <functional>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/WizardBrand.h"

namespace rk {

struct KTWindowshot {
    // One screen state to render.
    struct Frame {
        QString name;             // "summary", the permission's id, id + "-waiting" ...
        int step = -1;            // the root view's step
        QSet<QString> granted{};  // ids shown as granted; every other one as not
        bool asked = false;       // shown as if the person had pressed the primary button
        bool legacyNotice = false;
        friend bool operator==(const Frame&, const Frame&) = default;
    };

    struct Verdict {
        QString text;          // "fits", "OVERFLOWS by 3pt" ...
        bool problem = false;  // the screen is clipped or overflows
        friend bool operator==(const Verdict&, const Verdict&) = default;
    };

    static constexpr int width = 660;
    static constexpr int minHeight = 560;  // the root view's
    static constexpr int screenSettleMs = 350;
    static constexpr int cardSettleMs = 200;
    static constexpr int cardMargin = 20;
    // Heights outside this range count as not given.
    static constexpr double lowestHeight = 1;
    static constexpr double highestHeight = 10000;

    // Sets the wizard core's renderer to `run` over its configuration.
    static void install();

    // The summary; per permission its first screen, waiting and granted,
    // and, for a product with former identities, the cleared-grants notice
    // where the permission has a privacy service; the done screen.
    static QList<Frame> frames(const KTWizardProduct& product, const QList<KTPermission>& permissions);
    // `KT_WINDOWSHOT_HEIGHT` when its whole value is a number from 1 to
    // 10000, else the wizard's content height.
    static double height(const std::optional<QString>& variable);
    // The clipped verdict below the root view's minimum height; else the fit
    // of the first scroll view's document over its visible area (none: not
    // measured).
    static Verdict verdict(double height, std::optional<double> documentExcess);
    // The longest list name among the permissions (the first on a tie).
    static QString cardPaneName(const QList<KTPermission>& permissions);

    // Lets the images settle for that long; tests hand one that only runs
    // what is pending.
    using Settle = std::function<void(int milliseconds)>;
    // Renders into `outDir` (made when missing; see OutputFolder for the
    // folders and files it refuses), lines to `out`, files not written, with
    // the reason, to `err`.
    static int run(const KTWizardBrand& brand, const KTWizardProduct& product,
                   const QList<KTPermission>& permissions, const QString& outDir, double height,
                   QTextStream& out, QTextStream& err, const Settle& settle);
};

}  // namespace rk
