#include "finder/LaunchdScan.h"

#include <QFileInfo>
#include <algorithm>

#include "platform/Plist.h"
#include "platform/Text.h"

namespace rk {

bool LaunchJob::programExists(const SystemPaths& paths) const {
    if (!program)
        return true;
    // launchd finds a bare name ("python3") on its own search path; checking
    // it against our current folder would call every such job gone.
    if (!program->startsWith('/'))
        return true;
    return QFileInfo::exists(paths.disk(*program));
}

size_t qHash(const LaunchJob& job, size_t seed) {
    return qHashMulti(seed, job.plist, job.label, job.program ? qHash(*job.program, 1) : size_t(0),
                      job.scope);
}

namespace {

std::optional<QString> programOf(const PlistValue& job) {
    if (const PlistValue* program = job.find(QLatin1String("Program")); program && program->string())
        return *program->string();
    const PlistValue* arguments = job.find(QLatin1String("ProgramArguments"));
    const auto* list = arguments ? arguments->array() : nullptr;
    if (!list || list->empty())
        return std::nullopt;
    for (const PlistValue& argument : *list)
        if (!argument.string())
            return std::nullopt;
    return *list->front().string();
}

void scanFolder(const QString& folder, const QString& scope, const SystemPaths& paths, const FileProbe& probe,
                QList<LaunchJob>& jobs) {
    auto listing = probe.listFolder(paths.disk(folder));
    if (!listing)
        return;
    QStringList names = std::move(listing).value();
    std::sort(names.begin(), names.end(), Text::less);
    for (const QString& name : names) {
        if (!name.endsWith(QLatin1String(".plist"), Qt::CaseSensitive))
            continue;
        const QString path = folder + "/" + name;
        const auto bytes = readWholeFile(paths.disk(path), LaunchdScan::sizeCap);
        if (!bytes)
            continue;
        if (auto job = LaunchdScan::job(bytes.value(), path, scope))
            jobs.append(std::move(*job));
    }
}

}  // namespace

std::optional<LaunchJob> LaunchdScan::job(const QByteArray& bytes, const QString& plist, const QString& scope) {
    const auto parsed = Plist::parse(bytes, sizeCap, nodeCap);
    if (!parsed || !parsed->dictionary())
        return std::nullopt;
    const PlistValue* label = parsed->find(QLatin1String("Label"));
    const QString name = plist.section('/', -1);
    return LaunchJob{plist, label && label->string() ? *label->string() : name.left(name.size() - 6),
                     programOf(parsed.value()), scope};
}

QList<LaunchJob> LaunchdScan::scan(const SystemPaths& paths, const FileProbe& probe) {
    QList<LaunchJob> jobs;
    scanFolder(paths.userLaunchAgents(), "you", paths, probe, jobs);
    scanFolder(paths.systemLaunchAgents(), "all users (agent)", paths, probe, jobs);
    scanFolder(paths.systemLaunchDaemons(), "all users (daemon)", paths, probe, jobs);
    return jobs;
}

}  // namespace rk
