#include "app/PermissionDeclaration.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "finder/BackgroundStore.h"
#include "finder/TCCStore.h"
#include "permissions/PermissionProbes.h"
#include "permissions/PermissionWizard.h"

namespace rk {

namespace {
// The main window's palette values that the wizard's brand uses, as
// 0xRRGGBB, kept in this one place until the wizard can take them from the
// palette itself.
namespace BrandColours {
constexpr QRgb gold = 0xC8A872;
constexpr QRgb onGold = 0x1D1D1F;
constexpr QRgb inkDark = 0xF2F2F7, inkLight = 0x1D1D1F;
constexpr QRgb dimDark = 0xA1A1A6, dimLight = 0x5E5E63;
constexpr QRgb groundDark = 0x1C1C1E, groundLight = 0xF7F6F2;
constexpr QRgb goldTextDark = 0xD9BE8C, goldTextLight = 0x8E672C;
constexpr QRgb tileTop = 0x33383D, tileBottom = 0x191B1D;

QColor hex(QRgb value) {
    return QColor::fromRgb(value & 0xFFFFFF);
}
KTColourFunction same(QRgb value) {
    return [value](bool) { return hex(value); };
}
KTColourFunction schemed(QRgb dark, QRgb light) {
    return [dark, light](bool isDark) { return hex(isDark ? dark : light); };
}
}  // namespace BrandColours

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
    using namespace BrandColours;
    return KTWizardBrand{
        .accent = same(gold),
        .ink = schemed(inkDark, inkLight),
        .inkMuted = schemed(dimDark, dimLight),
        .ground = schemed(groundDark, groundLight),
        .onAccent = same(onGold),
        .accentText = schemed(goldTextDark, goldTextLight),
        .mark = [](QPainter& painter, const QRectF& rect, bool) { paintMonogram(painter, rect, markSize); },
    };
}

bool PermissionDeclaration::fullDiskAccess() {
    return TCCStore::canRead() && BackgroundStore::canRead();
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
            .probe = [] { return fullDiskAccess(); },
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
    const QRectF tile(rect.center().x() - size / 2, rect.center().y() - size / 2, size, size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, BrandColours::hex(BrandColours::tileTop));
    fill.setColorAt(1, BrandColours::hex(BrandColours::tileBottom));
    QPainterPath shape;
    shape.addRoundedRect(tile, size * 0.27, size * 0.27);
    painter.fillPath(shape, fill);
    QFont font = painter.font();
    font.setPixelSize(qMax(1, qRound(size * 0.4)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(BrandColours::hex(BrandColours::gold));
    painter.drawText(tile, Qt::AlignCenter, "RK");
    painter.restore();
}

void configureWizard(bool writeState) {
    KTPermissionWizard::configure(PermissionDeclaration::product(), PermissionDeclaration::brand(),
                                  PermissionDeclaration::permissions(), writeState);
}

}  // namespace rk
