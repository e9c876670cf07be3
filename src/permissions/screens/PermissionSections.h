#pragma once
// What the permission screen shows, decided without a window: the facts it
// reads from the machine and its own state gathered in one value, and from
// them the step line, the badge, which of the notices and the guidance
// block show, and the notices' texts. The notices speak to grants that sit
// on an old copy of the app: the legacy-identity note (old copies held the
// permission and were cleared), the ticked-but-dead repair callout, and the
// line about System Settings being restarted so that it lists this copy.
// Pure functions; `PermissionScreen` gathers the facts and draws the result.

#include <QSet>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <optional>

#include "permissions/Permission.h"

namespace rk {

// Everything besides the permission and the product that the screen's
// sections and actions depend on, read once per evaluation.
struct KTPermissionFacts {
    int index = 0;  // of the permission among the product's, from 0
    int total = 0;
    bool isGranted = false;
    bool isTickedDead = false;  // ticked in System Settings, not in effect here
    bool asked = false;         // the person pressed the primary button, or it is rendered so
    bool relaunchTried = false;
    bool restarting = false;  // a restart for this grant is under way
    bool openFailed = false;  // the last press found nothing here to open System Settings
    int waitedSeconds = 0;
    bool forcedLegacyNotice = false;
    QSet<QString> clearedServices{};  // privacy services the legacy repair cleared this launch
    bool wouldQuitNow = false;        // opening a page now would first quit System Settings
    bool settingsRestarted = false;   // System Settings was restarted in the background
    bool hasDialogImage = false;      // the permission's dialog image exists for this scheme
    bool listenDenied = false;        // the Accessibility page counts as Input Monitoring
    QString bundleDisplayName{};
    std::optional<QString> plusLine{};  // "Not in the list? ..." for a list that takes a dragged app
    QStringList twinNames{};            // names this app may be listed under, other than its own
    QStringList ownNames{};             // the names this copy itself may be listed under
    friend bool operator==(const KTPermissionFacts&, const KTPermissionFacts&) = default;
};

struct PermissionSections {
    enum class Badge { none, granted, optional };
    enum class Picture { none, dialogImage, dragGuide };

    struct Guidance {
        std::optional<QString> restartLine{};
        Picture picture = Picture::none;
        bool rowsBlock = false;  // the rows block shows at all
        bool listRows = false;   // it lists the rows to tick (they are more than the app)
        std::optional<QString> note{};
        friend bool operator==(const Guidance&, const Guidance&) = default;
    };

    // The scrolling part of the screen and the lines above it.
    struct Layout {
        QString stepLine{};       // "Step 1 of 3"
        bool markInTitle = true;  // the brand's mark before the title, where there is no hero
        Badge badge = Badge::none;
        std::optional<QString> legacyNotice{};  // its text, when it shows
        bool repairCallout = false;
        bool repairAfterRelaunch = false;  // the callout gives the repair steps, not the relaunch
        std::optional<Guidance> guidance{};
        friend bool operator==(const Layout&, const Layout&) = default;
    };

    // "Step 1 of 3" for index 0 of 3.
    static QString stepLine(int index, int total);
    static Layout decide(const KTPermission& permission, const KTWizardProduct& product,
                         const KTPermissionFacts& facts);

    // The permission's page has a privacy service and either the notice is
    // forced or the repair cleared that service.
    static bool legacyNoticeShows(const KTPermission& permission, const KTPermissionFacts& facts);
    static std::optional<QString> settingsRestartLine(const KTPermissionFacts& facts);
    static QString legacyNoticeText(const KTWizardProduct& product, const KTPermissionFacts& facts);
    // The rows to tick are none or exactly the product's name (case counts).
    static bool rowsAreJustTheApp(const QStringList& rowsToTick, const QString& productName);
    static QString rowsHeading(const KTPermission& permission, const QString& productName);

    // The repair callout: its title, then the relaunch text until a relaunch
    // was tried, afterwards the repair text and its three steps.
    static QString repairTitle();
    static QString repairText(bool relaunchTried, const QString& productName);
    static QStringList repairSteps(const QString& productName, const QString& permissionTitle);

    // The dialog image drawn 138 high, as wide as its aspect ratio makes it
    // (2.16 for an image without height).
    static QSizeF dialogImageSize(const QSizeF& image);
};

}  // namespace rk
