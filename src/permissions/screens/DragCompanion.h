#pragma once
// The drag companion: one small floating panel per process that stands
// beside the System Settings window while the person adds this app to a
// privacy list by hand, holding the card (`KTDragCompanionCard`) whose icon
// they drag into the list. The permission screen shows it for a permission
// that needs a manual drag and again when the grant has not come after
// `notInListDelay` seconds of waiting, and hides it when the grant arrives or
// the screen goes away; closing the wizard's window hides it too (through the
// wizard's hooks, which `installWizardHooks` sets). It never opens System
// Settings and never brings it forward: that is the caller's business.
//
// While it shows, a 0.2 s timer follows System Settings: the panel stands
// beside its main window, steps out of the way while an application other
// than System Settings or this one is in front, and the companion closes for
// good once System Settings has been gone longer than its grace (8 s when it
// was not seen since `show`, else 1 s). All it asks of the machine comes
// through a `KTDragCompanionEnvironment`. On Linux no System Settings runs, so
// the panel never comes on screen and the companion hides after 8 s.
//
// Main thread only. `shared()` lives for the whole process. The panel is a
// frameless, always-on-top tool window that does not take focus when it
// appears; the companion owns it while it shows.

#include <QList>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/PermissionWizard.h"
#include "permissions/WizardBrand.h"
#include "permissions/screens/DragCompanionPlacement.h"
#include "platform/Clock.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"

namespace rk {

// What the follow loop reads of the machine, asked afresh at every beat.
class KTDragCompanionEnvironment {
public:
    virtual ~KTDragCompanionEnvironment() = default;

    virtual QList<RunningApplication> runningApplications(const QString& bundleID) = 0;
    // Front to back; none when the window server gives no answer.
    virtual std::optional<QList<WindowDescription>> onScreenWindows() = 0;
    virtual std::optional<QString> frontmostBundleID() = 0;
    // This app's bundle identifier; none without a bundle.
    virtual std::optional<QString> ownBundleID() = 0;
    // The displays, the first screen first.
    virtual QList<KTDisplay> displays() = 0;
    virtual Clock::Time now() = 0;
};

// The workspace, window list, app bundle and clock seams, and Qt's screens.
class KTHostDragCompanionEnvironment final : public KTDragCompanionEnvironment {
public:
    QList<RunningApplication> runningApplications(const QString& bundleID) override;
    std::optional<QList<WindowDescription>> onScreenWindows() override;
    std::optional<QString> frontmostBundleID() override;
    std::optional<QString> ownBundleID() override;
    QList<KTDisplay> displays() override;
    Clock::Time now() override;
};

class KTDragCompanion {
public:
    using Mode = KTDragCompanionMode;

    // The card's base size: laid out at this before it is measured, never
    // less tall.
    static constexpr QSizeF size{300, 128};
    // The System Settings sidebar; the self-test keeps the fallback over it.
    static constexpr double sidebarWidth = 222;
    // Seconds of waiting after which the permission screen offers the
    // companion for a list that lacks the app.
    static inline int notInListDelay = 20;
    static constexpr char settingsBundleID[] = "com.apple.systempreferences";
    static constexpr int followIntervalMs = 200;
    // Seconds without System Settings after which the companion hides: not
    // seen since `show`, and seen before.
    static constexpr double graceUnseen = 8;
    static constexpr double graceSeen = 1;

    // The one the app uses, on the host's environment.
    static KTDragCompanion& shared();
    // Sets the wizard's hooks (show, hide, self-test) to this library's
    // companion; the host calls it before configuring the wizard.
    static void installWizardHooks();

    // `environment` stays the caller's and must outlive the companion;
    // nullptr is the host's.
    explicit KTDragCompanion(KTDragCompanionEnvironment* environment = nullptr);
    ~KTDragCompanion();
    KTDragCompanion(const KTDragCompanion&) = delete;
    KTDragCompanion& operator=(const KTDragCompanion&) = delete;

    // Whether the person can add the app to the permission's list by
    // dragging it in (the Accessibility page counting as Input Monitoring
    // while listening to input events is denied).
    static bool isDragCapable(const KTPermission& permission);

    // Shows the companion for `permission`, replacing one for another
    // permission or a `notInList` one for this permission; a second request
    // for the same permission and mode, and a `notInList` request while a
    // `manualAdd` one shows for it, change nothing. The panel comes on screen
    // at the first beat at which System Settings qualifies. Does nothing in
    // a process without widgets.
    void show(const KTWizardProduct& product, const KTWizardBrand& brand, const KTPermission& permission,
              Mode mode);
    // Closes the companion; harmless when it is hidden.
    void hide();
    // Hides only when it shows for the permission with this id.
    void hideIfFor(const QString& id);

    bool isShowing() const { return !panel_.isNull(); }
    const std::optional<QString>& permissionID() const { return permissionID_; }
    const std::optional<Mode>& mode() const { return mode_; }
    // The panel while it shows (on screen or not), else nullptr.
    QWidget* panel() const { return panel_; }
    // The card's size as last measured.
    QSizeF cardSize() const { return cardSize_; }
    // When `show` last built a panel; the clock's epoch until then.
    Clock::Time shownAt() const { return shownAt_; }

    // One beat of the follow loop; the timer runs it every 0.2 s while the
    // companion shows, and `show` once.
    void tick();

    static KTScreenRect place(QSizeF size, const KTScreenRect& beside, const KTScreenRect& in,
                              double gap = KTDragCompanionPlacement::defaultGap) {
        return KTDragCompanionPlacement::place(size, beside, in, gap);
    }

    // Checks the placement rule and the drag-capable test, writes its one
    // line to standard output and answers whether every check passed.
    static bool selftest();

private:
    KTDragCompanionEnvironment& environment();
    void orderOut();

    KTDragCompanionEnvironment* environment_;
    QPointer<QWidget> panel_;
    QTimer timer_;
    std::optional<QString> permissionID_;
    std::optional<Mode> mode_;
    Clock::Time shownAt_{};
    QSizeF cardSize_ = size;
    std::optional<Clock::Time> lastSeenSettings_;
};

}  // namespace rk
