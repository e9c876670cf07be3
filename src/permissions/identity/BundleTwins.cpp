#include "permissions/identity/BundleTwins.h"

#include <QDir>
#include <QFileInfo>

#include "platform/BundleInfo.h"

namespace rk {

namespace {

QString fileStem(const QString& bundlePath) {
    return QFileInfo(QDir::cleanPath(bundlePath)).completeBaseName();
}

// Appends each name that is not empty and not a case-insensitive repeat.
void addDistinct(QStringList& kept, const QStringList& names, const QString& excluded = QString()) {
    for (const QString& name : names) {
        if (name.isEmpty() || (!excluded.isEmpty() && name.compare(excluded, Qt::CaseInsensitive) == 0) ||
            kept.contains(name, Qt::CaseInsensitive))
            continue;
        kept << name;
    }
}

}  // namespace

const QStringList& KTBundleTwins::all() {
    static const QStringList twins = [] {
        const AppBundle& bundle = AppBundle::current();
        return scan(bundle.bundleIdentifier(), bundle.bundlePath());
    }();
    return twins;
}

QStringList KTBundleTwins::scan(const std::optional<QString>& bundleID, const QString& selfPath,
                                const AppRegistry& registry, const SystemPaths& paths) {
    if (!bundleID)
        return {};
    const QString self = paths.resolved(selfPath);
    QStringList names;
    for (const QString& copy : registry.applicationPaths(*bundleID)) {
        const QString resolved = paths.resolved(copy);
        if (resolved == self || !QFileInfo::exists(paths.disk(resolved)))
            continue;
        for (const QString& name : listedNames(copy, paths)) {
            if (!names.contains(name))
                names << name;
        }
    }
    return names;
}

QStringList KTBundleTwins::listedNames(const QString& bundlePath, const SystemPaths& paths) {
    const BundleInfo info = BundleInfo::read(paths.disk(bundlePath));
    QStringList names;
    addDistinct(names, {info.string("CFBundleDisplayName").value_or(QString()),
                        info.string("CFBundleName").value_or(QString()), fileStem(bundlePath)});
    return names;
}

QStringList KTBundleTwins::names(const QString& shown, const QStringList& twins, const AppBundle& bundle,
                                 const SystemPaths& paths) {
    QStringList kept;
    addDistinct(kept, listedNames(bundle.bundlePath(), paths) + twins, shown);
    return kept;
}

QString KTBundleTwins::displayName(const QString& bundlePath, const SystemPaths& paths) {
    const BundleInfo info = BundleInfo::read(paths.disk(bundlePath));
    if (const auto display = info.string("CFBundleDisplayName"))
        return *display;
    return info.string("CFBundleName").value_or(fileStem(bundlePath));
}

}  // namespace rk
