#pragma once
// Builders for the tests of the wizard's screens: a brand in the main
// window's colours, a product and three permissions shaped like the app's,
// and an environment that records what the screens ask of the machine
// instead of relaunching anything or writing the record.

#include <QSet>
#include <QStringList>
#include <functional>

#include "permissions/Permission.h"
#include "permissions/PermissionProbes.h"
#include "permissions/WizardBrand.h"
#include "permissions/screens/WizardEnvironment.h"
#include "ui/Palette.h"

namespace rk::test {

inline KTWizardBrand screensBrand() {
    const auto schemed = [](QColor (*colour)(bool)) { return [colour](bool dark) { return colour(dark); }; };
    return KTWizardBrand{
        .accent = schemed(Palette::gold),
        .ink = schemed(Palette::ink),
        .inkMuted = schemed(Palette::dim),
        .ground = schemed(Palette::ground),
        .onAccent = schemed(Palette::onGold),
        .accentText = schemed(Palette::goldText),
        .mark = [](QPainter& painter, const QRectF& rect, bool) { painter.fillRect(rect, Palette::gold()); },
    };
}

inline KTWizardProduct screensProduct() {
    return KTWizardProduct{.name = "Sampler", .slug = "sampler", .reopenHint = "its Start page"};
}

// "disk" (Full Disk Access, dragged in), "access" (Accessibility) and
// "screen" (Screen Recording, optional); each probe reads `granted`.
inline QList<KTPermission> screensPermissions(const QSet<QString>* granted) {
    const auto probe = [granted](const QString& id) {
        return [granted, id] { return granted->contains(id); };
    };
    return {
        KTPermission{.id = "disk",
                     .title = "Full Disk Access",
                     .benefit = "So it can read the two lists.",
                     .bullets = {"See every app allowed to control this Mac", "See what starts at login"},
                     .boundary = "It reads those two lists only.",
                     .settingsURL = KTPermissionProbes::Pane::fullDisk(),
                     .probe = probe("disk"),
                     .rowsToTick = {"Sampler"},
                     .requiresManualDrag = true},
        KTPermission{.id = "access",
                     .title = "Accessibility",
                     .benefit = "So it can point at the exact row.",
                     .bullets = {"Open the exact page"},
                     .boundary = "It never presses Remove.",
                     .settingsURL = KTPermissionProbes::Pane::accessibility(),
                     .probe = probe("access")},
        KTPermission{.id = "screen",
                     .title = "Screen Recording",
                     .benefit = "So it can show a photo.",
                     .bullets = {"Show the marked page"},
                     .boundary = "It photographs only System Settings.",
                     .settingsURL = KTPermissionProbes::Pane::screenRecording(),
                     .probe = probe("screen"),
                     .isOptional = true,
                     .costOfSkipping = "Rows are described in words instead."},
    };
}

// Records relaunches and record writes; the flags live in `tried`. Work
// for another thread waits in `background` until the test runs it.
struct RecordingEnvironment {
    bool listenDenied = false;
    QSet<QString> tried;
    QSet<QString> didNotHold;
    QList<bool> relaunches;  // the background flag of each
    int recordWrites = 0;
    QList<std::function<void()>> background;

    KTWizardEnvironment environment() {
        return KTWizardEnvironment{
            .listenDenied = [this] { return listenDenied; },
            .relaunchTried = [this](const QString& id) { return tried.contains(id); },
            .setRelaunchTried =
                [this](const QString& id, bool on) {
                    if (on)
                        tried.insert(id);
                    else
                        tried.remove(id);
                },
            .restartDidNotHold = [this] { return didNotHold; },
            .relaunch = [this](bool background) { relaunches << background; },
            .writeRecord = [this] { ++recordWrites; },
            .startInBackground = [this](std::function<void()> work) { background << std::move(work); },
        };
    }
};

}  // namespace rk::test
