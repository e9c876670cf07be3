#pragma once
// The wizard's screen for one permission: the step line, the host's hero
// (when the permission has one), the title with its badge, the benefit, the
// bullets and the privacy boundary; while the permission is off, the notices
// for grants left on old copies and the guidance on what to do in System
// Settings; at the foot the primary button, the skip link and the status
// line.
//
// The root view makes one for each step it shows and hands it new grant
// answers with `setGrant`; the screen keeps its own state (whether the person
// asked, the seconds waited, a restart under way) for as long as it lives.
// The press asks only when System Settings really opened: on a computer
// where nothing takes its link the screen keeps its button and says so.
// Its sections are decided by `PermissionSections` and `PermissionActions`
// from the facts it gathers (`facts()`); it redraws a part only when what
// that part shows has changed. It also follows the identity repair's two
// shared status objects. It reports only through `onSkip` and `onContinue`.
//
// While its waiting text is on screen a one-second tick counts the seconds
// waited; every third one it asks a freshly started copy of the app, on
// another thread, whether that copy sees the grant, and restarts the app
// when it does (the wizard core decides whether a restart is allowed). At
// `KTDragCompanion::notInListDelay` seconds it offers the drag companion for
// a list that may lack the app. The companion shown for this permission goes
// when the grant arrives or the screen goes. Main thread; an answer that
// comes back after the screen is gone is still handled, without it.

#include <QImage>
#include <QPointer>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/WizardBrand.h"
#include "permissions/screens/PermissionActions.h"
#include "permissions/screens/PermissionSections.h"
#include "permissions/screens/WizardEnvironment.h"

namespace rk {

class KTAccentButton;

class PermissionScreen : public QWidget {
    Q_OBJECT
public:
    // What the root view gives: the rendering overrides stay false outside
    // the rendering of set states.
    struct Inputs {
        KTWizardProduct product{};
        KTPermission permission{};
        int index = 0;
        int total = 0;
        bool isGranted = false;
        bool isTickedDead = false;
        bool forcedDidAsk = false;
        bool forcedRelaunched = false;
        bool forcedLegacyNotice = false;
    };

    PermissionScreen(const KTWizardBrand& brand, bool dark, const Inputs& inputs,
                     KTWizardEnvironment environment, std::function<void()> onSkip,
                     std::function<void()> onContinue, QWidget* parent = nullptr);
    ~PermissionScreen() override;

    void setGrant(bool isGranted, bool isTickedDead);
    void setDark(bool dark);

    // The forced relaunch, else the user default for this permission.
    bool relaunchTried() const;
    KTPermissionFacts facts() const;
    const PermissionSections::Layout& layout() const { return layout_; }
    const PermissionActions::Status& status() const { return status_; }
    QString primaryLabel() const { return primaryLabel_; }
    // The scrolling part: its content is the screen's "document".
    QScrollArea* scrollArea() const { return scroll_; }

    // What the primary button does now (see `PermissionActions::press`).
    void primaryAction();
    // One second of waiting: the wait ticker runs it while the waiting text
    // shows.
    void waitTick();
    bool waitTickerRunning() const { return waitTicker_.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Asks a fresh copy of the app when the second calls for it.
    void checkFreshProcess();
    // With the fresh copy's answer, on the main thread; `screen` is gone
    // when the person left the screen meanwhile.
    static void freshAnswer(const QPointer<PermissionScreen>& screen, const QString& id, bool wasGranted,
                            const std::optional<KTGrantMap>& answer);
    // The workspace's answer to a press: a link nothing took leaves the
    // screen as it was before the press, with the line that says so.
    void paneOpened(bool opened, bool askedBefore);
    // Once the permission's page is open: the drag companion, or the program
    // shown in the file manager, for a permission dragged in by hand.
    static void afterPaneOpened(const KTPermission& permission);
    PermissionActions::WaitFacts waitFacts() const;
    void setRestarting(bool restarting);
    void hideCompanionIfMine();
    // Runs while the waiting text is on screen.
    void updateWaitTicker();
    void openLink(const QString& link);

    // Decides again and redraws the parts whose decision changed.
    void reevaluate(bool force = false);
    void rebuildTop();
    QWidget* content();
    QWidget* header();
    QWidget* bullets();
    QWidget* boundaryCallout();
    QWidget* guidance(const PermissionSections::Guidance& decided);
    QWidget* dialogImage();
    QWidget* rowsBlock(const PermissionSections::Guidance& decided);
    QWidget* actions();

    KTWizardBrand rawBrand_;
    bool dark_;
    KTResolvedBrand brand_;
    Inputs inputs_;
    KTWizardEnvironment environment_;
    std::function<void()> onSkip_;
    std::function<void()> onContinue_;

    // The screen's own state, from its first showing to its end: whether
    // the person pressed the primary button to ask, and, for the waiting
    // line, the seconds waited since and whether a restart is under way;
    // whether a question to a fresh copy is out.
    bool didAskState_ = false;
    bool openFailed_ = false;  // the last press found nothing here that opens System Settings
    int waitedSeconds_ = 0;
    bool restarting_ = false;
    bool freshInFlight_ = false;
    QTimer waitTicker_;

    std::optional<QImage> dialogImage_;  // resolved for the current scheme
    PermissionSections::Layout layout_;
    PermissionActions::Status status_;
    QString primaryLabel_;
    bool waiting_ = false;

    QVBoxLayout* top_ = nullptr;  // the step row and the hero
    QScrollArea* scroll_ = nullptr;
    QVBoxLayout* actionsHolder_ = nullptr;
    QPointer<QWidget> actions_;
    // The actions block's primary button and skip link (none while granted).
    QPointer<QWidget> primary_;
    QPointer<QWidget> skip_;
};

}  // namespace rk
