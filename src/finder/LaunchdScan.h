#pragma once
// One pass over the launchd job folders: the person's LaunchAgents, then the
// system's LaunchAgents and LaunchDaemons, each in name order.

#include <QByteArray>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <optional>

#include "platform/FileProbe.h"
#include "platform/SystemPaths.h"

namespace rk {

// One launchd property list.
struct LaunchJob {
    QString plist;  // logical path of the file
    QString label;
    std::optional<QString> program;
    QString scope;  // "you", "all users (agent)" or "all users (daemon)"

    // True without a program, and for a program that is not an absolute path
    // (launchd looks those up on its search path); otherwise whether something
    // exists at the program's path, asked afresh at each call.
    bool programExists(const SystemPaths& paths = SystemPaths::current()) const;

    friend bool operator==(const LaunchJob&, const LaunchJob&) = default;
};

size_t qHash(const LaunchJob& job, size_t seed = 0);

struct LaunchdScan {
    // Bounds on one job file, far beyond any real job: every job is read at
    // start-up, and the person's folder is open to any program they run.
    static constexpr qint64 sizeCap = 1024 * 1024;
    static constexpr quint64 nodeCap = quint64(1) << 16;

    // The job that a file's bytes describe, for the file at the logical path
    // `plist` in a folder of `scope`; none when they are not a property-list
    // dictionary within the bounds.
    static std::optional<LaunchJob> job(const QByteArray& bytes, const QString& plist, const QString& scope);
    // Never fails: folders and files that cannot be read are left out. The
    // person's folder is that of `paths.home()`.
    static QList<LaunchJob> scan(const SystemPaths& paths = SystemPaths::current(),
                                 const FileProbe& probe = FileProbe::current());
};

}  // namespace rk
