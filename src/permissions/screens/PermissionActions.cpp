#include "permissions/screens/PermissionActions.h"

#include "platform/Workspace.h"

namespace rk {

namespace {
constexpr int kReportedOnlyToNewCopyAfter = 25;  // seconds waited
}  // namespace

bool PermissionActions::isWaiting(const KTPermissionFacts& facts) {
    return facts.asked && !facts.isGranted && !(facts.isTickedDead && !facts.relaunchTried);
}

PermissionActions::Press PermissionActions::press(const KTPermissionFacts& facts) {
    if (facts.isGranted)
        return Press::continueOn;
    if (facts.isTickedDead && !facts.relaunchTried)
        return Press::relaunch;
    return Press::ask;
}

QString PermissionActions::primaryLabel(const KTPermission& permission, const KTWizardProduct& product,
                                        const KTPermissionFacts& facts) {
    if (facts.isGranted)
        return "Continue";
    if (facts.isTickedDead && !facts.relaunchTried)
        return "Relaunch " + product.name;
    if (!facts.asked)
        return "Enable " + (facts.listenDenied ? QString("Input Monitoring") : permission.title);
    return "Waiting for macOS";
}

std::optional<QString> PermissionActions::skipTitle(const KTPermission& permission, bool isGranted) {
    if (isGranted)
        return std::nullopt;
    return permission.isOptional ? QString("Skip") : QString("Skip for now");
}

PermissionActions::Status PermissionActions::status(const KTPermission& permission,
                                                    const KTWizardProduct& product,
                                                    const KTPermissionFacts& facts) {
    if (facts.isGranted)
        return {.text = permission.title + " is on.", .accent = true};
    if (facts.openFailed)
        return {.text = Workspace::settingsNotOpenedLine()};
    if (!facts.asked && !facts.isTickedDead)
        return {.text = permission.costOfSkipping.value_or("Opens System Settings at the " +
                                                           permission.title + " list.")};
    return {.text = waitLine(product, facts),
            .waiting = true,
            .quitAndReopen = !facts.restarting && (!facts.isTickedDead || facts.relaunchTried)};
}

QString PermissionActions::waitLine(const KTWizardProduct& product, const KTPermissionFacts& facts) {
    if (facts.restarting)
        return "macOS has switched it on. Restarting " + product.name + " so it can see that.";
    if (facts.isTickedDead) {
        return "The repair above is the path here. This screen keeps checking, and the moment the grant "
               "really works "
               "it turns green.";
    }
    const QString opening = "Switch on " + product.name + " in the list that just opened.";
    if (facts.twinNames.isEmpty()) {
        return opening + " " + (facts.plusLine ? *facts.plusLine + " " : QString()) +
               "This screen moves on by itself. Still waiting after a minute?";
    }
    const QString twin = facts.twinNames.first();
    QString line = facts.ownNames.contains(twin, Qt::CaseInsensitive)
                       ? opening + " Some lists show it as “" + twin + "”."
                       : opening + " It may be listed as “" + twin +
                             "”, the name of another copy of this app on this Mac. Look for that row too.";
    if (facts.plusLine)
        line += " " + *facts.plusLine;
    if (facts.waitedSeconds >= kReportedOnlyToNewCopyAfter)
        line += " Already on? macOS is reporting it only to a newly launched copy:";
    return line;
}

QUrl PermissionActions::quitAndReopenURL() {
    static const QUrl url(QStringLiteral("kt-wizard://quit-and-reopen"));
    return url;
}

QString PermissionActions::statusHtml(const Status& status, const QColor& link) {
    QString html = status.text.toHtmlEscaped();
    if (status.quitAndReopen) {
        html += QString(
                    " <a href=\"%1\" style=\"color: %2; text-decoration: underline; font-weight: 500\">"
                    "Quit and Reopen</a>.")
                    .arg(quitAndReopenURL().toString(), link.name());
    }
    return html;
}

bool PermissionActions::asksFreshCopy(const WaitFacts& facts) {
    return !facts.forcedDidAsk && !facts.restarting && !facts.freshInFlight &&
           facts.waitedSeconds >= freshCopyEvery && facts.waitedSeconds % freshCopyEvery == 0 &&
           facts.canAskFreshCopy;
}

bool PermissionActions::offersCompanion(const WaitFacts& facts, int notInListDelay) {
    return facts.waitedSeconds == notInListDelay && !facts.forcedDidAsk && !facts.isGranted &&
           !facts.isTickedDead && !facts.restarting && facts.dragCapable && facts.hasBrand;
}

bool PermissionActions::freshCopyHolds(const std::optional<KTGrantMap>& answer, const QString& id,
                                       bool wasGranted) {
    if (wasGranted || !answer || answer->empty())
        return false;
    const auto entry = answer->find(id);
    return entry != answer->end() && entry->second;
}

}  // namespace rk
