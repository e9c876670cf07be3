#pragma once
// Builders for the wizard's screen tests: the main window's brand, a product
// and three permissions like the app's, and an environment that records what
// the screens ask of the machine instead of relaunching or writing the record.

#include <QSet>
#include <QStringList>
#include <functional>

#include "permissions/Permission.h"
#include "permissions/PermissionProbes.h"
#include "permissions/WizardBrand.h"
#include "permissions/screens/WizardEnvironment.h"
#include "support/WizardFixture.h"
#include "ui/Palette.h"

namespace rk::test {

inline KTWizardBrand screensBrand() {
    return KTWizardBrand{
        .accent = &Palette::gold,
        .ink = &Palette::ink,
        .inkMuted = &Palette::dim,
        .ground = &Palette::ground,
        .onAccent = &Palette::onGold,
        .accentText = &Palette::goldText,
        .mark = [](QPainter& painter, const QRectF& rect, bool) { painter.fillRect(rect, Palette::gold()); },
    };
}

inline KTWizardProduct screensProduct() {
    return KTWizardProduct{.name = "Sampler", .slug = "sampler", .reopenHint = "its Start page"};
}

// "disk" (Full Disk Access, dragged in), "access" (Accessibility) and
// "screen" (Screen Recording, optional), each with sound texts and a probe
// that reads `granted`.
inline QList<KTPermission> screensPermissions(const QSet<QString>* granted) {
    const auto make = [granted](const QString& id, const QString& title, const QUrl& pane) {
        KTPermission p = samplePermission(id);
        p.title = title, p.settingsURL = pane, p.probe = [granted, id] { return granted->contains(id); };
        return p;
    };
    QList<KTPermission> permissions{
        make("disk", "Full Disk Access", KTPermissionProbes::Pane::fullDisk()),
        make("access", "Accessibility", KTPermissionProbes::Pane::accessibility()),
        make("screen", "Screen Recording", KTPermissionProbes::Pane::screenRecording())};
    permissions[0].rowsToTick = {"Sampler"}, permissions[0].requiresManualDrag = true;
    permissions[2].isOptional = true, permissions[2].costOfSkipping = "Rows are described in words instead.";
    return permissions;
}

// Records relaunches and record writes; the flags live in `tried`. Work
// for another thread waits in `background` until the test runs it.
struct RecordingEnvironment {
    bool listenDenied = false;
    QSet<QString> tried, didNotHold;
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
