#include "permissions/identity/LegacyRepairDiscovery.h"

#include <QFileInfo>
#include <QMutex>
#include <utility>

#include "permissions/PermissionProbes.h"

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

}  // namespace rk::KTLegacyIdentityRepair
