#include "app/PermissionDeclaration.h"

#include <QPainter>

#include "finder/FullDiskAccess.h"
#include "permissions/PermissionProbes.h"
#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairAtStart.h"
#include "permissions/identity/SystemSettingsRefresh.h"
#include "permissions/screens/DragCompanion.h"
#include "permissions/screens/PermissionWizardWindow.h"
#include "permissions/screens/Windowshot.h"
#include "ui/Monogram.h"
#include "ui/Palette.h"

namespace rk {

namespace {
// The wizard's brand takes the main window's palette.
KTColourFunction schemed(QColor (*colour)(bool)) {
    return [colour](bool dark) { return colour(dark); };
}

constexpr qreal markSize = 26;
}  // namespace

KTWizardProduct PermissionDeclaration::product() {
    return KTWizardProduct{
        .name = "Rowkeeper",
        .slug = "larkspur",
        .reopenHint = "the Set up permissions button on its Start page",
        .summaryLead =
            "Rowkeeper finds the leftovers in your Mac's privacy and startup lists and points at each "
            "one on the real System Settings screen; you make every change.",
        .legacyBundleIdentifiers = {},
        .ownedBundleFolders = {},
    };
}

KTWizardBrand PermissionDeclaration::brand() {
    return KTWizardBrand{
        .accent = schemed(Palette::gold),
        .ink = schemed(Palette::ink),
        .inkMuted = schemed(Palette::dim),
        .ground = schemed(Palette::ground),
        .onAccent = schemed(Palette::onGold),
        .accentText = schemed(Palette::goldText),
        .mark = [](QPainter& painter, const QRectF& rect, bool) { paintMonogram(painter, rect, markSize); },
    };
}

QList<KTPermission> PermissionDeclaration::permissions() {
    return {
        KTPermission{
            .id = "fulldisk",
            .title = "Full Disk Access",
            .benefit = "So I can read the two lists macOS keeps about this Mac.",
            .bullets = {"See every app and program allowed to control this Mac",
                        "See everything that starts by itself when you log in",
                        "Tick each one off the moment you remove it"},
            .boundary =
                "Reads those two lists only. It changes nothing, and what it reads stays on this Mac.",
            .settingsURL = KTPermissionProbes::Pane::fullDisk(),
            .probe = [] { return FullDiskAccess::granted(); },
            .isOptional = false,
            .rowsToTick = {"Rowkeeper"},
            .requiresManualDrag = true,
        },
        KTPermission{
            .id = "accessibility",
            .title = "Accessibility",
            .benefit = "So I can open the right page and point at the exact row.",
            .bullets = {"Open the exact page in System Settings for you",
                        "Highlight the row so the minus button is your only click",
                        "Mark rows red or green right on the screen"},
            .boundary =
                "Opens pages and selects rows. It never presses Remove or flips a switch: those clicks are "
                "always yours.",
            .settingsURL = KTPermissionProbes::Pane::accessibility(),
            .probe = [] { return KTPermissionProbes::accessibility(); },
            .request = [] { KTPermissionProbes::requestAccessibilityPrompt(); },
            .isOptional = false,
            .rowsToTick = {"Rowkeeper"},
            .requiresManualDrag = false,
        },
        KTPermission{
            .id = "screen",
            .title = "Screen Recording",
            .benefit = "So this window can show a photo of the marked page.",
            .bullets = {"Show the marked System Settings page right here",
                        "Tell apart rows that share a name by their icon", "Keep every photo on this Mac"},
            .boundary =
                "Photographs only the System Settings window, only while this app is open, and never sends "
                "a photo anywhere.",
            .settingsURL = KTPermissionProbes::Pane::screenRecording(),
            .probe = [] { return KTPermissionProbes::screenRecording(); },
            .request = [] { KTPermissionProbes::requestScreenRecordingPrompt(); },
            .isOptional = true,
            .costOfSkipping =
                "The marks still appear on System Settings; rows that share a name are described in "
                "words instead.",
            .rowsToTick = {"Rowkeeper"},
            .requiresManualDrag = false,
        },
    };
}

void PermissionDeclaration::paintMonogram(QPainter& painter, const QRectF& rect, qreal size) {
    MonogramArt::paint(painter,
                       QRectF(rect.center().x() - size / 2, rect.center().y() - size / 2, size, size));
}

void configureWizard(bool writeState) {
    KTSystemSettingsRefresh::installIdentityChangeHook();
    KTLegacyIdentityRepair::installWizardStartHook();
    KTPermissionWizardWindow::install();
    KTDragCompanion::installWizardHooks();
    KTWindowshot::install();
    KTPermissionWizard::configure(PermissionDeclaration::product(), PermissionDeclaration::brand(),
                                  PermissionDeclaration::permissions(), writeState);
}

}  // namespace rk
