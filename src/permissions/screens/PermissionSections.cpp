#include "permissions/screens/PermissionSections.h"

#include "permissions/identity/LegacyRepairDiscovery.h"

namespace rk {

namespace {
const char kStillOpenLine[] =
    "System Settings is still open from before, so it points at the old copy. Enable quits it in the "
    "background "
    "and reopens it at this list; nothing else on your screen is touched.";
const char kRestartedLine[] =
    "System Settings was restarted in the background so it lists this copy; nothing else on your screen was "
    "touched.";
}  // namespace

QString PermissionSections::stepLine(int index, int total) {
    return QString("Step %1 of %2").arg(index + 1).arg(total);
}

PermissionSections::Layout PermissionSections::decide(const KTPermission& permission,
                                                      const KTWizardProduct& product,
                                                      const KTPermissionFacts& facts) {
    Layout layout;
    layout.stepLine = stepLine(facts.index, facts.total);
    layout.markInTitle = !permission.hero;
    if (facts.isGranted)
        layout.badge = Badge::granted;
    else if (permission.isOptional)
        layout.badge = Badge::optional;
    if (facts.isGranted)
        return layout;

    const bool legacy = legacyNoticeShows(permission, facts);
    if (legacy)
        layout.legacyNotice = legacyNoticeText(product, facts);
    if (facts.isTickedDead) {
        layout.repairCallout = true;
        layout.repairAfterRelaunch = facts.relaunchTried;
        return layout;
    }
    Guidance guidance;
    if (!legacy)
        guidance.restartLine = settingsRestartLine(facts);
    if (permission.dialogImageName && facts.hasDialogImage)
        guidance.picture = Picture::dialogImage;
    else if (permission.requiresManualDrag)
        guidance.picture = Picture::dragGuide;
    guidance.listRows = !rowsAreJustTheApp(permission.rowsToTick, product.name);
    guidance.note = legacy ? std::nullopt : permission.rowNote;
    guidance.rowsBlock = guidance.listRows || guidance.note;
    layout.guidance = guidance;
    return layout;
}

bool PermissionSections::legacyNoticeShows(const KTPermission& permission, const KTPermissionFacts& facts) {
    const std::optional<QString> service = KTLegacyIdentityRepair::tccService(permission.settingsURL);
    return service && (facts.forcedLegacyNotice || facts.clearedServices.contains(*service));
}

// Before the press it warns that Enable will restart System Settings; after
// it, it says that this happened.
std::optional<QString> PermissionSections::settingsRestartLine(const KTPermissionFacts& facts) {
    if (facts.forcedLegacyNotice)
        return QString(kStillOpenLine);
    if (!facts.asked)
        return facts.wouldQuitNow ? std::optional<QString>(kStillOpenLine) : std::nullopt;
    return facts.settingsRestarted ? std::optional<QString>(kRestartedLine) : std::nullopt;
}

QString PermissionSections::legacyNoticeText(const KTWizardProduct& product, const KTPermissionFacts& facts) {
    QString text = "Old copies of " + product.name +
                   " were holding this permission; they are cleared. Turn on " + facts.bundleDisplayName +
                   " once more.";
    if (facts.plusLine)
        text += " " + *facts.plusLine;
    if (const std::optional<QString> restart = settingsRestartLine(facts))
        text += " " + *restart;
    return text;
}

bool PermissionSections::rowsAreJustTheApp(const QStringList& rowsToTick, const QString& productName) {
    return rowsToTick.isEmpty() || rowsToTick == QStringList{productName};
}

QString PermissionSections::rowsHeading(const KTPermission& permission, const QString& productName) {
    const qsizetype count = permission.rowsToTick.size();
    if (count == 1)
        return "Turn on this entry:";
    if (permission.rowsAreAllRequired) {
        const QString which = count == 2 ? QString("both") : "all " + QString::number(count);
        const QString them = count == 2 ? QString("both") : QString("all of them");
        return "Turn on " + which + " of these entries. macOS treats them as separate apps, and " +
               productName + " only works when " + them + " are on:";
    }
    return "Turn on each one you want. macOS asks per app, so turning on one does not turn on the others:";
}

QString PermissionSections::repairTitle() {
    return "Ticked in System Settings, but not working";
}

QString PermissionSections::repairText(bool relaunchTried, const QString& productName) {
    if (!relaunchTried) {
        return "System Settings already lists " + productName +
               " as on, yet macOS is not honoring that grant for this copy of the app. A grant takes effect "
               "at the "
               "app's next launch, so start with a relaunch. " +
               productName + " comes straight back, and this window reopens if there is anything left to do.";
    }
    return "A relaunch did not fix it, so the ticked row almost certainly belongs to an older copy of " +
           productName +
           ". macOS ties each grant to the exact app that asked, and a moved or updated copy inherits "
           "nothing. "
           "Repair it in the pane:";
}

QStringList PermissionSections::repairSteps(const QString& productName, const QString& permissionTitle) {
    return {"Turn the " + productName + " row off, and remove it with the minus button if one is shown.",
            "Back here, click Enable " + permissionTitle + ": macOS adds this copy to the list.",
            "Tick the new row, then relaunch " + productName + " once more."};
}

QSizeF PermissionSections::dialogImageSize(const QSizeF& image) {
    constexpr double height = 138;
    if (image.height() > 0)
        return {image.width() * height / image.height(), height};
    return {height * 2.16, height};
}

}  // namespace rk
