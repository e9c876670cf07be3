#include "permissions/PermissionState.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "permissions/PermissionWizard.h"
#include "platform/FileProbe.h"

namespace rk {

namespace {
// Far above any real record; a huge file there is not read whole.
constexpr qint64 kRecordSizeCap = 1024 * 1024;

// The record's "bundle_id" when it is a string that is not `own`.
bool otherWriter(const QJsonObject& root, const QString& own) {
    const QJsonValue writer = root.value("bundle_id");
    return writer.isString() && writer.toString() != own;
}
}  // namespace

std::optional<QString> KTPermissionState::folder(const QString& slug, const SystemPaths& paths) {
    static const QRegularExpression plainWord("^[A-Za-z0-9][A-Za-z0-9._-]*$");
    if (!plainWord.match(slug).hasMatch())
        return std::nullopt;
    return paths.home() + "/." + slug;
}

std::optional<QString> KTPermissionState::recordFile(const QString& slug, const SystemPaths& paths) {
    const auto dotFolder = folder(slug, paths);
    if (!dotFolder)
        return std::nullopt;
    return paths.disk(*dotFolder + "/permissions.json");
}

QByteArray KTPermissionState::record(const QList<KTPermission>& permissions, const QSet<QString>& skipped,
                                     const std::optional<QString>& bundleID) {
    QJsonArray entries;
    for (const KTPermission& p : permissions) {
        entries.append(QJsonObject{
            {"id", p.id},
            {"title", p.title},
            {"optional", p.isOptional},
            {"capability_probe", p.probeGranted()},
            {"skipped", skipped.contains(p.id)},
        });
    }
    QJsonObject root{{"permissions", entries}};
    root.insert("bundle_id", bundleID ? QJsonValue(*bundleID) : QJsonValue(QJsonValue::Null));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool KTPermissionState::write(const QList<KTPermission>& permissions, const QSet<QString>& skipped,
                              const SystemPaths& paths, const AppBundle& bundle) {
    const auto file = recordFile(KTPermissionWizard::product().slug, paths);
    if (!file)
        return false;
    return writeWholeFile(*file, record(permissions, skipped, bundle.bundleIdentifier())).ok();
}

bool KTPermissionState::writtenByAnotherIdentity(const QString& slug,
                                                 const std::optional<QString>& ownBundleID,
                                                 const SystemPaths& paths) {
    const auto file = recordFile(slug, paths);
    if (!ownBundleID || !file)
        return false;
    // Anyone may have left something there: a pipe or a device is refused
    // without waiting on it, a file over the cap before a byte is read.
    const auto bytes = readWholeFile(*file, kRecordSizeCap);
    if (!bytes)
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes);
    return document.isObject() && otherWriter(document.object(), *ownBundleID);
}

QSet<QString> KTPermissionState::grantedIDs(const QByteArray& record,
                                            const std::optional<QString>& ownBundleID) {
    const QJsonDocument document = QJsonDocument::fromJson(record);
    if (!document.isObject())
        return {};
    const QJsonObject root = document.object();
    if (ownBundleID && otherWriter(root, *ownBundleID))
        return {};
    QSet<QString> granted;
    for (const QJsonValue& entry : root.value("permissions").toArray()) {
        const QJsonObject object = entry.toObject();
        const QJsonValue id = object.value("id");
        if (id.isString() && object.value("capability_probe") == QJsonValue(true))
            granted.insert(id.toString());
    }
    return granted;
}

}  // namespace rk
