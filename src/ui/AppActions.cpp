#include "ui/AppActions.h"

#include <QtGlobal>

#include "app/model/AppInfo.h"
#include "permissions/PermissionWizard.h"
#include "platform/Seam.h"
#include "platform/Workspace.h"

namespace rk {

AppActions& AppActions::current() {
    return Seam<AppActions>::current<HostAppActions>();
}

void AppActions::setCurrent(AppActions* actions) {
    Seam<AppActions>::setCurrent(actions);
}

void HostAppActions::showPermissions() {
    KTPermissionWizard::present(true);
}

QString HostAppActions::saveDiagnostics() {
    qWarning("Save Diagnostics: no application delegate is installed, so nothing was saved.");
    return QString();
}

bool HostAppActions::openSettingsLink(const QUrl& link) {
    return Workspace::current().openURL(link, true);
}

QString HostAppActions::versionLine() const {
    return AppInfo::versionLine();
}

}  // namespace rk
