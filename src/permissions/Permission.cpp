#include "permissions/Permission.h"

#include <QFile>

#include "permissions/PermissionProbes.h"

namespace rk {

QString KTPermission::paneTitle() const {
    if (settingsURL == KTPermissionProbes::Pane::accessibility() && KTPermissionProbes::listenEventDenied())
        return "Input Monitoring";
    return title;
}

std::optional<QImage> KTPermission::resolveDialogImage(const QString& name, bool dark,
                                                       const QString& imageRoot) {
    if (name.isEmpty())
        return std::nullopt;
    const QString variant = name + (dark ? "-dark" : "-light");
    for (const QString& candidate : {variant, name}) {
        const QString path = imageRoot + "/" + candidate + ".png";
        if (!QFile::exists(path))
            continue;
        QImage image(path);
        if (!image.isNull())
            return image;
    }
    return std::nullopt;
}

QString KTOwnedBundleFolder::rawValue(Disposition disposition) {
    return disposition == Disposition::remove ? "remove" : "rename";
}

std::optional<KTOwnedBundleFolder::Disposition> KTOwnedBundleFolder::dispositionNamed(const QString& raw) {
    for (const Disposition disposition : {Disposition::remove, Disposition::rename}) {
        if (raw == rawValue(disposition))
            return disposition;
    }
    return std::nullopt;
}

QString KTOwnedBundleFolder::resolvedPath(const SystemPaths& paths) const {
    QString expanded = path;
    if (expanded == "~" || expanded.startsWith("~/"))
        expanded = paths.home() + expanded.mid(1);
    return paths.resolved(expanded);
}

QString KTWizardProduct::bundleDisplayName(const AppBundle& bundle) const {
    if (auto display = bundle.infoString("CFBundleDisplayName"))
        return *display;
    if (auto bundleName = bundle.infoString("CFBundleName"))
        return *bundleName;
    return name;
}

}  // namespace rk
