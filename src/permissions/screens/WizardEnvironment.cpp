#include "permissions/screens/WizardEnvironment.h"

#include <QSettings>
#include <QThreadPool>

#include "permissions/PermissionProbes.h"
#include "permissions/PermissionState.h"
#include "permissions/PermissionWizard.h"

namespace rk {

QString KTWizardEnvironment::relaunchTriedKey(const QString& id) {
    return "KTPermWizard.relaunchTried." + id;
}

KTWizardEnvironment KTWizardEnvironment::host() {
    return KTWizardEnvironment{
        .listenDenied = [] { return KTPermissionProbes::listenEventDenied(); },
        .relaunchTried = [](const QString& id) { return QSettings().value(relaunchTriedKey(id)).toBool(); },
        .setRelaunchTried =
            [](const QString& id, bool tried) {
                QSettings settings;
                // Asked every second for a granted permission: a key that is
                // not there is left alone, so the defaults file is not rewritten.
                if (tried)
                    settings.setValue(relaunchTriedKey(id), true);
                else if (settings.contains(relaunchTriedKey(id)))
                    settings.remove(relaunchTriedKey(id));
            },
        .restartDidNotHold = [] { return KTPermissionWizard::restartDidNotHoldIDs(); },
        .relaunch = [](bool background) { KTPermissionWizard::relaunchApp(background); },
        .writeRecord =
            [] {
                KTPermissionState::write(KTPermissionWizard::configuredPermissions(),
                                         KTPermissionWizard::skippedIDs());
            },
        .startInBackground =
            [](std::function<void()> work) { QThreadPool::globalInstance()->start(std::move(work)); },
    };
}

}  // namespace rk
