#pragma once
// The permission wizard's state and operations: the host configures it once
// per process with its product, brand and permissions; the app, the wizard's
// screens and the command-line questions then work from that configuration.
// Main thread only, except `freshProcessGrants`, which blocks and so is called
// off it.
//
// The wizard's window is made by the screens' library, above this one: the
// shell installs `makeWindow`, and this class only holds the window through
// `Window`, shows it, closes it and forgets it when it closes.

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/Relaunch.h"
#include "permissions/WizardBrand.h"
#include "platform/AppBundle.h"
#include "platform/SystemPaths.h"

namespace rk {

// Why the drag companion shows: the permission's list takes the app only by
// hand, or the person has waited and the app may be missing from the list.
enum class KTDragCompanionMode { manualAdd, notInList };

// What the wizard asks of the drag companion. Absent: nothing shows or
// hides, and the lint's self-tests run without the companion's.
struct KTDragCompanionHooks {
    std::function<void(const KTWizardProduct&, const KTWizardBrand&, const KTPermission&,
                       KTDragCompanionMode)>
        show;
    std::function<void()> hide;
    std::function<bool()> selftest;  // prints its own line
};

class KTPermissionWizard {
public:
    enum class Presentation { activate, frontWithoutFocus };

    static constexpr char permissionCheckFlag[] = "--permission-check";
    static constexpr int contentHeight = 700;
    static constexpr int contentWidth = 660;

    // The wizard's window as the core sees it. The window reports its own
    // closing, by the person or by `closeWindow`, through `windowClosed()`.
    class Window {
    public:
        virtual ~Window() = default;
        // Shows it, raises it and, for `activate`, gives it the focus.
        virtual void bringForward(Presentation presentation) = 0;
        virtual void closeWindow() = 0;
        // The object that carries it: the core watches it to know the window
        // is gone and deletes it later once it has closed.
        virtual QObject* object() = 0;
    };
    // Makes the window for the configured product, brand and permissions;
    // the core owns what it returns. Installed by the shell; without it the
    // wizard has no window to present.
    static inline std::function<Window*(const KTWizardProduct& product, const KTWizardBrand& brand,
                                        const QList<KTPermission>& permissions)>
        makeWindow;

    // The configuration; "App"/"app", no brand and no permissions until then.
    static const KTWizardProduct& product();
    static const std::optional<KTWizardBrand>& brand();
    static const QList<KTPermission>& configuredPermissions();
    static bool isConfigured();

    // Stores the declaration, lints it to standard error and, unless the
    // process is answering a command-line question, tells `onIdentityChange`
    // when the permission record came from another bundle identifier and,
    // when `writeState` is true, rewrites the record.
    static void configure(const KTWizardProduct& product, const KTWizardBrand& brand,
                          const QList<KTPermission>& permissions, bool writeState);
    // Forgets the configuration, for tests.
    static void resetForTesting();

    // The process was started for one of the wizard's command-line questions;
    // it then writes no state.
    static bool isCLIQuestion(const AppBundle& bundle = AppBundle::current());

    // Ids the person skipped, kept in user defaults under
    // "KTPermissionWizard.skipped." + slug.
    static QSet<QString> skippedIDs();
    static void markSkipped(const QString& id);
    // Skips every configured permission that `granted` does not call granted
    // (an id missing from the map is probed).
    static void skipOutstanding(const KTGrantMap& granted);
    // Ids whose earlier automatic restart did not hold
    // ("KTPermissionWizard.restartDidNotHold." + slug).
    static QSet<QString> restartDidNotHoldIDs();

    static QString pickerPath(const QString& bundlePath, const QString& home);
    static std::optional<QString> plusLine(const KTPermission& permission, const QString& bundlePath,
                                           const SystemPaths& paths = SystemPaths::current());
    static Presentation presentation(bool activate);
    static bool shouldSettleBeforePresenting(const QStringList& outstandingIDs,
                                             const QSet<QString>& previouslyGranted);
    static QSet<QString> skipsSurvivingGrants(const QSet<QString>& skipped, const QSet<QString>& granted);

    // Asks a fresh copy of the app which permissions it holds; absent until
    // `enableFreshProcessCheck()`. Blocks for up to four seconds.
    static inline std::function<std::optional<KTGrantMap>()> freshProcessGrants;
    // Restarts the app in the background for grants it holds but does not
    // see; true when the restart started. Absent until `enableFreshProcessCheck()`.
    static inline std::function<bool(const QStringList& outstanding)> staleGrantRestart;
    // Told, while the wizard is configured, that the permission record was
    // written under another bundle identifier, with this process's launch
    // date (now when the process does not say). The identity repair keeps
    // that moment; the host installs its hook before configuring. Never
    // called for a command-line question.
    static inline std::function<void(const QString& slug, const QDateTime& at)> onIdentityChange;
    // Called first on every presentation, on the main thread, with the
    // configured product and permissions: the identity repair's start. The
    // host installs it where it configures the wizard.
    static inline std::function<void(const KTWizardProduct&, const QList<KTPermission>&)> beforePresenting;
    // Receives each line of the wizard's decision log, on the main thread.
    static inline std::function<void(const QString& line)> onDecision;

    // The drag companion lives with the wizard's screens, above this
    // library; the host installs its hooks where those screens exist.
    static inline KTDragCompanionHooks dragCompanion;
    // Draws the wizard's screens and the drag companion's cards into a
    // folder and gives the exit status; called only once configured. The
    // host installs it where the wizard's screens exist.
    static inline std::function<int(const QString& outDir)> renderScreens;

    // Shows the drag companion for `permission` once a brand is configured.
    static void showDragCompanion(const KTPermission& permission, KTDragCompanionMode mode);

    static void enableFreshProcessCheck();

    // Restarts the app when a fresh copy holds every outstanding grant and an
    // automatic restart is allowed; true only when a restart started.
    // Otherwise, with `presentOtherwise`, presents the wizard.
    static bool restartOrPresent(const QStringList& outstanding, const std::optional<KTGrantMap>& fresh,
                                 bool presentOtherwise,
                                 const QDateTime& now = QDateTime::currentDateTimeUtc(),
                                 const SystemPaths& paths = SystemPaths::current());

    // Starts the successor that reopens the app and, once it has started, asks
    // the app to quit. When the successor cannot start, the app keeps running:
    // quitting then would leave the person with no app at all.
    static bool relaunchApp(bool background,
                            const KTRelaunch::Environment& environment = KTRelaunch::Environment::host());

    // "--permission-windowshot" and a folder: every screen of the wizard
    // and the companion's cards as image files (`renderScreens`); status 2,
    // with one line on standard error, before configuration.
    static int runWindowshotCLI(const QString& outDir);
    static constexpr int windowshotNotConfiguredStatus = 2;

    // One JSON object, permission id -> granted, on standard output; status 0,
    // or 3 (not measured) before configuration.
    static int runPermissionCheckCLI();
    // The lint's findings and a count of the permissions that meet the bar
    // (status 0 when there are no findings, 1 otherwise, 3 before
    // configuration); with "--selftest", the library's self-tests instead.
    static int runLintCLI(const QStringList& arguments);

    // Opens the wizard's window, or brings the open one forward.
    static void present(bool activate);
    // Hides the drag companion, closes the window, if any, and rewrites the
    // permission record.
    static void close();
    static bool isPresented();
    // The window-closed handling: forgets the window and rewrites the
    // permission record. The window calls it when it closes; harmless when
    // no window is open.
    static void windowClosed();

    // "KTPermissionWizard: " + line to the log; then to `onDecision`.
    static void log(const QString& line);

    static constexpr int notMeasuredStatus = 3;
};

}  // namespace rk
