#pragma once
// Ready-made menu pieces for an app that embeds the updater: the two update
// items of an application menu ("Check for Updates…" and a status line), a
// whole Help menu, and a "Software Update" submenu with the automatic-update
// switches. `KTStandard` builds them; `KTMenuController`, one shared object,
// carries out their actions and keeps the status item's title current. This
// app uses only `appendUpdateItems`, right after its "Permissions…" item; the
// other two builders are offered to other hosts.
//
// The status item is retitled by a wrapper the controller puts around the
// updater's `onStatus` when it is made. Making the update model afterwards
// (as this app does at launch) replaces that hook without calling what was
// there, so from then on the status item keeps the line it was built with.
//
// Main thread for menus, items and the controller. The status wrapper may be
// called on any thread: it calls the previous handler there, then retitles
// the item on the main thread's next turn. Every item built here has no key
// equivalent; the caller owns the menus it is given or gets.

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

namespace rk {

class KTMenuController final : public QObject {
    Q_OBJECT

public:
    // Made on first use (by any builder) and kept to the end of the process.
    static KTMenuController& shared();
    // Ends the shared controller (the items it made keep their titles); the
    // next builder makes a new one, which wraps `onStatus` as it then stands.
    // For test programs, after the updater's own `resetProcessState`.
    static void endShared();

    // "Update v<version> ready: choose Check for Updates to install" while an
    // update waits; else, while the updater is off, "Updates: off · " and why;
    // else "Updates: automatic" or "Updates: manual (auto-check off)" after
    // the automatic-check setting. Read from the updater each time.
    static QString statusLine();

    // ---- Actions of the items ---------------------------------------------
    // An interactive check.
    void checkNow();
    // Each sets its setting (all three for the master) to the opposite of what
    // it reads now; the check marks follow when the submenu next opens.
    void updToggleMaster();
    void updToggleCheck();
    void updToggleDownload();
    void updToggleInstall();
    // Sets the check marks of a menu titled exactly "Software Update" from
    // the settings as they are now; any other menu is left alone.
    void menuNeedsUpdate(QMenu* menu);
    // The app's help book when its bundle names one (a Mac's help viewer,
    // which this desktop does not have); else the website, when one is known.
    void openHelp();
    void openReleaseNotes();
    void openWebsite();
    // A mail to the support address with the subject "<app> support (<version>)".
    void contactSupport();

    // ---- What the builders stored ----------------------------------------
    std::optional<QString> websiteURL() const { return websiteURL_; }
    std::optional<QString> releaseNotesURL() const { return releaseNotesURL_; }
    std::optional<QString> supportEmail() const { return supportEmail_; }
    QString appName() const { return appName_; }
    // The last status item appended; none once it is gone.
    QAction* statusMenuItem() const { return statusMenuItem_; }

private:
    friend struct KTStandard;
    KTMenuController();
    void openStored(const std::optional<QString>& address);

    std::optional<QString> websiteURL_;
    std::optional<QString> releaseNotesURL_;
    std::optional<QString> supportEmail_;
    QString appName_;
    QPointer<QAction> statusMenuItem_;
};

struct KTStandard {
    // The name an item's action is known by ("checkNow", "updToggleMaster",
    // ...), kept on every item built here with an action.
    static QString actionOf(const QAction* item);

    // Appends "Check for Updates…" and the disabled status line to `menu`;
    // the status item becomes the one the controller retitles.
    static void appendUpdateItems(QMenu& menu);
    // A "Help" menu: "<app> Help", "What's New" (with release notes), a
    // separator, "<app> Website" (with a website), "Contact Support…" (with a
    // support address), a separator and the two update items. Addresses not
    // given leave what the controller had.
    static QMenu* helpMenu(const QString& appName, const std::optional<QString>& website = std::nullopt,
                           const std::optional<QString>& supportEmail = std::nullopt,
                           const std::optional<QString>& releaseNotes = std::nullopt,
                           QWidget* parent = nullptr);
    // The "Software Update" submenu (its `menuAction()` is the item that
    // carries it): the master switch, a separator and the three switches,
    // checked after the settings of this moment and again each time it opens.
    static QMenu* updateSubmenu(const QString& appName, QWidget* parent = nullptr);
};

}  // namespace rk
