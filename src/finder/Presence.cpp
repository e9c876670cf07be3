#include "finder/Presence.h"

#include <QFileInfo>
#include <QStringList>

namespace rk {

QString Liveness::evidence() const {
    return kind_ == Kind::apple ? QStringLiteral("part of macOS") : evidence_;
}

size_t qHash(const Liveness& liveness, size_t seed) {
    return qHashMulti(seed, int(liveness.kind()), liveness.evidence());
}

namespace {

bool existsAt(const QString& logical, const SystemPaths& paths) {
    return QFileInfo::exists(paths.disk(logical));
}

// The drive folder "/Volumes/<name>" of a path under /Volumes, with its name.
struct Drive {
    QString folder;
    QString name;
};

std::optional<Drive> driveOf(const QString& path, const SystemPaths& paths) {
    const QString volumes = paths.volumes() + "/";
    if (!path.startsWith(volumes))
        return std::nullopt;
    const QStringList parts = path.split('/', Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return std::nullopt;
    return Drive{volumes + parts[1], parts[1]};
}

}  // namespace

QString Presence::tilde(const QString& path, const SystemPaths& paths) {
    return paths.tilde(path);
}

Liveness Presence::ofPath(const QString& path, const SystemPaths& paths) {
    if (path.startsWith(paths.trash() + "/"))
        return Liveness::gone("in the Trash");
    if (const auto drive = driveOf(path, paths); drive && !existsAt(drive->folder, paths))
        return Liveness::driveNotConnected("on the drive \"" + drive->name + "\", which is not connected");
    if (existsAt(path, paths))
        return Liveness::live("found at " + tilde(path, paths));
    for (const QString& cellar : SystemPaths::cellarPrefixes())
        if (path.contains(cellar))
            return Liveness::gone("an older Homebrew version; Homebrew moved it when it upgraded");
    return Liveness::gone("nothing at " + tilde(path, paths));
}

bool Presence::isOnDiskImage(const QString& path, const SystemPaths& paths, const Volumes& volumes) {
    const auto drive = driveOf(path, paths);
    if (!drive)
        return false;
    const auto flags = volumes.flags(drive->folder, paths);
    if (!flags)
        return false;
    // An unknown "internal" flag is not "not internal".
    return flags->readOnly.value_or(false) && flags->internal.has_value() && !*flags->internal;
}

Liveness Presence::ofBundle(const QString& bundleIdentifier, const SystemPaths& paths,
                            const AppRegistry& registry, const Volumes& volumes) {
    if (bundleIdentifier.startsWith(QLatin1String("com.apple.")))
        return Liveness::apple();
    const QStringList copies = registry.applicationPaths(bundleIdentifier);
    if (copies.isEmpty())
        return Liveness::gone("no installed app answers to " + bundleIdentifier);
    std::optional<QString> offline;
    for (const QString& copy : copies) {
        const Liveness found = ofPath(copy, paths);
        if (found.kind() == Liveness::Kind::live && !isOnDiskImage(copy, paths, volumes))
            return Liveness::live("installed at " + tilde(copy, paths));
        if (found.kind() == Liveness::Kind::driveNotConnected)
            offline = found.evidence();
    }
    if (offline)
        return Liveness::driveNotConnected(*offline);
    return Liveness::gone("only copies in the Trash or on a disk image");
}

const QList<TestNames::Pattern>& TestNames::patterns() {
    // Function-local static: built once, thread-safe, read-only afterwards.
    static const QList<Pattern> list = [] {
        const std::pair<const char*, const char*> table[] = {
            {R"(\.\d{9,}(-\d+)?$)", "a per-run numeric suffix"},
            {R"((?i)\b(permfixtest|fixture|harness|decoy|selftest|scratch)\b)", "a test-harness name"},
            {R"((?i)(^|\.)(test|tests|testing)(\.|$))", "\"test\" in the identifier"},
            {R"(^/private/tmp/|^/tmp/)", "a program in a temporary folder"},
            {R"(/\.build/|/DerivedData/|/Build/Products/)", "a build-output program"},
        };
        QList<Pattern> built;
        for (const auto& [expression, reason] : table) {
            // Unicode properties make \d, \w and \b read as they do in ICU.
            QRegularExpression re(QString::fromUtf8(expression),
                                  QRegularExpression::UseUnicodePropertiesOption);
            if (!re.isValid())
                continue;
            re.optimize();
            built.append(Pattern{re, QString::fromUtf8(reason)});
        }
        return built;
    }();
    return list;
}

std::optional<QString> TestNames::why(const QString& text) {
    for (const Pattern& pattern : patterns())
        if (pattern.expression.match(text).hasMatch())
            return pattern.reason;
    return std::nullopt;
}

}  // namespace rk
