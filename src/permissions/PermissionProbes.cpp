#include "permissions/PermissionProbes.h"

#include "permissions/Permission.h"
#include "platform/Accessibility.h"
#include "platform/ScreenCapture.h"
#include "platform/Seam.h"

namespace rk {

namespace {
QUrl privacy(const QString& anchor) {
    return QUrl("x-apple.systempreferences:com.apple.preference.security?" + anchor);
}
}  // namespace

KTProbePlatform& KTProbePlatform::current() {
    return Seam<KTProbePlatform>::current<HostProbePlatform>();
}

void KTProbePlatform::setCurrent(KTProbePlatform* platform) {
    Seam<KTProbePlatform>::setCurrent(platform);
}

// Trust and the capture preflight come from the platform's own seams, so a
// simulated platform answers the wizard too. The rest has no Linux
// counterpart: prompts do nothing, the window list carries no titles, and
// input-monitoring access cannot be told.
bool HostProbePlatform::accessibilityTrusted() {
    return Accessibility::current().isProcessTrusted();
}
void HostProbePlatform::requestAccessibilityPrompt() {}
bool HostProbePlatform::seesOtherWindowTitles() {
    return false;
}
bool HostProbePlatform::screenCapturePreflight() {
    return ScreenCapture::current().preflight();
}
void HostProbePlatform::requestScreenCaptureAccess() {}
KTListenAccess HostProbePlatform::listenEventAccess() {
    return KTListenAccess::unknown;
}

const QUrl& KTPermissionProbes::Pane::accessibility() {
    static const QUrl url = privacy("Privacy_Accessibility");
    return url;
}
const QUrl& KTPermissionProbes::Pane::screenRecording() {
    static const QUrl url = privacy("Privacy_ScreenCapture");
    return url;
}
const QUrl& KTPermissionProbes::Pane::inputMonitoring() {
    static const QUrl url = privacy("Privacy_ListenEvent");
    return url;
}
const QUrl& KTPermissionProbes::Pane::fullDisk() {
    static const QUrl url = privacy("Privacy_AllFiles");
    return url;
}
const QUrl& KTPermissionProbes::Pane::microphone() {
    static const QUrl url = privacy("Privacy_Microphone");
    return url;
}
const QUrl& KTPermissionProbes::Pane::camera() {
    static const QUrl url = privacy("Privacy_Camera");
    return url;
}
const QUrl& KTPermissionProbes::Pane::automation() {
    static const QUrl url = privacy("Privacy_Automation");
    return url;
}
const QUrl& KTPermissionProbes::Pane::loginItems() {
    static const QUrl url("x-apple.systempreferences:com.apple.LoginItems-Settings.extension");
    return url;
}

bool KTPermissionProbes::Pane::isKnown(const QUrl& url) {
    for (const QUrl* pane : {&accessibility(), &screenRecording(), &inputMonitoring(), &fullDisk(),
                             &microphone(), &camera(), &automation(), &loginItems()}) {
        if (*pane == url)
            return true;
    }
    return false;
}

bool KTPermissionProbes::accessibility(KTProbePlatform& platform) {
    return platform.accessibilityTrusted();
}

void KTPermissionProbes::requestAccessibilityPrompt(KTProbePlatform& platform) {
    platform.requestAccessibilityPrompt();
}

// A visible title of another process's window proves capture access even when
// the preflight answer lags behind a fresh grant.
bool KTPermissionProbes::screenRecording(KTProbePlatform& platform) {
    return platform.seesOtherWindowTitles() || platform.screenCapturePreflight();
}

void KTPermissionProbes::requestScreenRecordingPrompt(KTProbePlatform& platform) {
    platform.requestScreenCaptureAccess();
}

bool KTPermissionProbes::listenEventDenied(KTProbePlatform& platform) {
    return platform.listenEventAccess() == KTListenAccess::denied;
}

bool KTPermissionProbes::takesDraggedApp(const KTPermission& permission, KTProbePlatform& platform) {
    // Asked first and always, so both answers come from one reading.
    const bool listenDenied = listenEventDenied(platform);
    QUrl pane = permission.settingsURL;
    if (pane == Pane::accessibility() && listenDenied)
        pane = Pane::inputMonitoring();
    return pane == Pane::accessibility() || pane == Pane::screenRecording() ||
           pane == Pane::inputMonitoring() || pane == Pane::fullDisk();
}

}  // namespace rk
