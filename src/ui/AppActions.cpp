#include "ui/AppActions.h"

#include <QtGlobal>

#include "permissions/PermissionWizard.h"
#include "platform/Workspace.h"

namespace rk {

namespace {
AppActions* installed = nullptr;
}  // namespace

AppActions& AppActions::current() {
    static HostAppActions host;
    return installed != nullptr ? *installed : host;
}

void AppActions::setCurrent(AppActions* actions) {
    installed = actions;
}

void HostAppActions::showPermissions() {
    KTPermissionWizard::present(true);
}

void HostAppActions::saveDiagnostics() {
    qWarning("Save Diagnostics: no application delegate is installed, so nothing was saved.");
}

void HostAppActions::openSettingsLink(const QUrl& link) {
    Workspace::current().openURL(link, true);
}

QString HostAppActions::versionLine() const {
    return QStringLiteral("Version dev (0)");
}

}  // namespace rk
