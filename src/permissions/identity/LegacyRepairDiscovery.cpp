#include "permissions/identity/LegacyRepairDiscovery.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <utility>

#include "permissions/PermissionProbes.h"
#include "platform/BundleInfo.h"
#include "platform/Text.h"

namespace rk::KTLegacyIdentityRepair {

namespace {
using Pane = KTPermissionProbes::Pane;

struct PaneService {
    const QUrl& (*link)();
    const char* service;
};

// In the order links are compared. The Full Disk Access page is "AllFiles"
// while its service is "SystemPolicyAllFiles", and Input Monitoring's service
// is "ListenEvent", not the page's title.
constexpr PaneService kPaneServices[] = {
    {&Pane::screenRecording, "ScreenCapture"}, {&Pane::accessibility, "Accessibility"},
    {&Pane::inputMonitoring, "ListenEvent"},   {&Pane::fullDisk, "SystemPolicyAllFiles"},
    {&Pane::microphone, "Microphone"},         {&Pane::camera, "Camera"},
    {&Pane::automation, "AppleEvents"},
};

std::optional<QString> findRegisterTool(const SystemPaths& paths) {
    for (const MacTool tool : SystemPaths::registerTools()) {
        const QFileInfo file(paths.tool(tool));
        if (file.isFile() && file.isExecutable())
            return file.filePath();
    }
    return std::nullopt;
}

// Blanks as the dump pads its values: spaces and tabs, never line ends.
bool isBlank(QChar c) {
    return c == '\t' || c.category() == QChar::Separator_Space;
}

QString trimBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

struct PendingRecord {
    std::optional<QString> path{};
    std::optional<QString> id{};
    QStringList names{};

    void closeInto(QList<DumpRecord>& records) {
        if (path && id && path->endsWith(".app"))
            records << DumpRecord{.path = *path, .id = *id, .names = names};
        *this = PendingRecord{};
    }
};

QSet<QString> wantedNames(const QStringList& displayNames) {
    QSet<QString> wanted;
    for (const QString& name : displayNames) {
        if (!name.isEmpty())
            wanted.insert(name.toLower());
    }
    return wanted;
}

// The copies found so far, each path once.
struct CopyList {
    QString ownID{};
    QString ownPath{};
    QList<Copy> copies{};
    QSet<QString> taken{};

    void add(const QString& path, const QString& id, bool declared) {
        const QString standardised = QDir::cleanPath(path);
        if (id == ownID || standardised == ownPath || taken.contains(standardised))
            return;
        taken.insert(standardised);
        copies << Copy{.path = standardised, .bundleID = id, .declared = declared};
    }
};

// The entry of an owned folder as an action, when it is a copy of the app
// that may be touched.
std::optional<OwnedAction> ownedCopy(const QString& entry, const KTOwnedBundleFolder& folder,
                                     const QString& folderPath, const QString& ownPath,
                                     const AppIdentity& app, const QSet<QString>& wanted,
                                     const SystemPaths& paths) {
    if (!isInside(entry, folderPath) || entry == ownPath)
        return std::nullopt;
    const BundleInfo info = BundleInfo::read(paths.disk(entry));
    const std::optional<QString> id = info.identifier();
    if (!id || *id == app.ownID)
        return std::nullopt;
    const auto named = [&](const char* key) {
        const auto name = info.string(key);
        return name && wanted.contains(name->toLower());
    };
    if (!app.legacyIDs.contains(*id) && !named("CFBundleDisplayName") && !named("CFBundleName"))
        return std::nullopt;
    return OwnedAction{
        .path = entry, .bundleID = *id, .disposition = folder.disposition, .folder = folderPath};
}
}  // namespace

std::optional<QString> tccService(const QUrl& settingsURL) {
    for (const PaneService& pane : kPaneServices) {
        if (pane.link() == settingsURL)
            return QString::fromLatin1(pane.service);
    }
    return std::nullopt;
}

QStringList services(const QList<KTPermission>& permissions) {
    QStringList found;
    for (const KTPermission& permission : permissions) {
        const auto service = tccService(permission.settingsURL);
        if (service && !found.contains(*service))
            found << *service;
    }
    return found;
}

QList<KTPermission> screenRecordingPermissions(const QList<KTPermission>& permissions) {
    QList<KTPermission> screen;
    for (const KTPermission& permission : permissions) {
        if (tccService(permission.settingsURL) == "ScreenCapture")
            screen << permission;
    }
    return screen;
}

AppIdentity AppIdentity::running(const KTWizardProduct& product, const QString& ownID,
                                 const AppBundle& bundle) {
    AppIdentity app{.legacyIDs = product.legacyBundleIdentifiers,
                    .displayNames = {product.name},
                    .ownID = ownID,
                    .ownPath = bundle.bundlePath()};
    if (const QString shown = product.bundleDisplayName(bundle); shown != product.name)
        app.displayNames << shown;
    return app;
}

std::optional<QString> lsregisterPath(const SystemPaths& paths) {
    static QMutex mutex;
    static std::optional<std::pair<SystemPaths, std::optional<QString>>> looked;
    QMutexLocker lock(&mutex);
    if (!looked || looked->first != paths)
        looked.emplace(paths, findRegisterTool(paths));
    return looked->second;
}

ToolResult run(const QString& path, const QStringList& arguments, std::chrono::milliseconds limit) {
    return Machine::current().runMerged(path, arguments, limit);
}

std::optional<QString> dumpText(const SystemPaths& paths) {
    const auto tool = lsregisterPath(paths);
    if (!tool)
        return std::nullopt;
    const ToolResult dump = run(*tool, {"-dump"}, dumpLimit);
    if (!dump.ok() || dump.out.isEmpty())
        return std::nullopt;
    return dump.out;
}

QList<DumpRecord> parseDump(const QString& text) {
    static const QRegularExpression registryNumber(" \\(0x[0-9a-fA-F]+\\)$");
    QList<DumpRecord> records;
    PendingRecord pending;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (line.startsWith(u"-----")) {
            pending.closeInto(records);
            continue;
        }
        const qsizetype colon = line.indexOf(u':');
        if (line.isEmpty() || line.front() == u' ' || colon < 0)
            continue;
        const QStringView key = line.left(colon);
        const QString value = trimBlanks(line.mid(colon + 1).toString());
        if (key == u"path" && !pending.path)
            pending.path = QString(value).remove(registryNumber);
        else if (key == u"identifier" && !pending.id)
            pending.id = value;
        else if ((key == u"name" || key == u"displayName") && !value.isEmpty())
            pending.names << value;
    }
    pending.closeInto(records);
    return records;
}

QList<Copy> discover(const AppIdentity& app, const std::optional<QString>& dumpText,
                     const AppRegistry& registry) {
    const QSet<QString> wanted = wantedNames(app.displayNames);
    CopyList found{.ownID = app.ownID, .ownPath = QDir::cleanPath(app.ownPath)};
    for (const QString& id : app.legacyIDs) {
        for (const QString& path : registry.applicationPaths(id))
            found.add(path, id, true);
    }
    if (dumpText) {
        for (const DumpRecord& record : parseDump(*dumpText)) {
            const bool declared = app.legacyIDs.contains(record.id);
            const bool named =
                std::any_of(record.names.begin(), record.names.end(),
                            [&](const QString& name) { return wanted.contains(name.toLower()); });
            if (declared || named)
                found.add(record.path, record.id, declared);
        }
    }
    std::stable_sort(found.copies.begin(), found.copies.end(),
                     [](const Copy& a, const Copy& b) { return Text::less(a.path, b.path); });
    return found.copies;
}

QList<OwnedAction> discoverOwned(const QList<KTOwnedBundleFolder>& folders, const AppIdentity& app,
                                 const SystemPaths& paths) {
    const QSet<QString> wanted = wantedNames(app.displayNames);
    const QString ownPath = paths.resolved(app.ownPath);
    QList<OwnedAction> actions;
    for (const KTOwnedBundleFolder& folder : folders) {
        const QString folderPath = folder.resolvedPath(paths);
        if (folderPath == "/")
            continue;
        QStringList entries =
            QDir(paths.disk(folderPath))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        std::sort(entries.begin(), entries.end(), Text::less);
        for (const QString& name : entries) {
            if (!name.endsWith(".app"))
                continue;
            const QString entry = paths.resolved(folderPath + "/" + name);
            if (const auto action = ownedCopy(entry, folder, folderPath, ownPath, app, wanted, paths))
                actions << *action;
        }
    }
    return actions;
}

bool isInside(const QString& path, const QString& folder) {
    const QString prefix = folder.endsWith('/') ? folder : folder + "/";
    return path.startsWith(prefix) && path.size() > prefix.size();
}

}  // namespace rk::KTLegacyIdentityRepair
