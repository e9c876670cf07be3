// Looking at this Mac for a checklist row: file dates, running programs,
// installed apps, the privacy database and the output of two tools.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <memory>

#include "movein/DeviceMove.h"
#include "movein/MoveIn.h"
#include "platform/AppRegistry.h"
#include "platform/MachineIdentity.h"

namespace rk {

namespace {

// ---- newest ---------------------------------------------------------------

qint64 mtimeMs(const struct stat& st) {
#ifdef __APPLE__
    const struct timespec& t = st.st_mtimespec;
#else
    const struct timespec& t = st.st_mtim;
#endif
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

bool isKeychains(const char* name) {
    return strcasecmp(name, "Keychains") == 0;
}

// Reads the folder open at `fd` (taking ownership), whose entries lie
// `depth` levels below the starting path. Every entry is looked at without
// following links, and folders are opened with O_NOFOLLOW, so a link swapped
// in while we walk is not followed either.
void walk(int fd, int depth, qint64& best) {
    DIR* dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    int read = 0;
    while (read < MoveIn::newestMaxEntries) {
        const struct dirent* entry = readdir(dir);
        if (!entry)
            break;
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        ++read;
        struct stat st;
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(st.st_mode))
            continue;
        const bool folder = S_ISDIR(st.st_mode);
        if (folder && isKeychains(entry->d_name))
            continue;
        best = std::max(best, mtimeMs(st));
        if (folder && depth < MoveIn::newestMaxDepth) {
            const int child =
                openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                walk(child, depth + 1, best);
        }
    }
    closedir(dir);
}

// ---- tools ----------------------------------------------------------------

// pgrep reads its argument as an extended regular expression; a program
// name with a dot or a plus must match only itself.
QString literalPattern(const QString& name) {
    static const QString special = QStringLiteral(".[]{}()\\*+?^$|");
    QString pattern;
    for (const QChar c : name) {
        if (special.contains(c))
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// A checklist path names a place as the Mac sees it; "~" is the home folder.
// The file on disk for it, or an empty text for a relative path, which
// would otherwise be read from wherever the app happened to start.
QString diskPath(const QString& path, const SystemPaths& paths) {
    QString logical = path;
    if (path == "~")
        logical = paths.home();
    else if (path.startsWith("~/"))
        logical = paths.home() + path.mid(1);
    if (!logical.startsWith('/'))
        return QString();
    return paths.disk(logical);
}

// The usual install places, then "codex" in each folder of the search path.
// A relative entry (or an empty one, which the shell reads as ".") names
// whatever folder the app happened to start in, so it is passed over.
QStringList codexPlaces(const SystemPaths& paths, const QString& searchPath) {
    QStringList places = paths.codexLocations();
    for (const QString& folder : searchPath.split(':', Qt::SkipEmptyParts)) {
        if (folder.startsWith('/'))
            places << QDir::cleanPath(folder + "/codex");
    }
    return places;
}

// Remembers each probe's answer for the life of one Env: judging a row asks
// the same questions several times (its state, its status, its button), and
// walking a folder or running a tool once is enough.
template <typename T>
std::function<T(const QString&)> remembered(std::function<T(const QString&)> probe) {
    auto memo = std::make_shared<QHash<QString, T>>();
    auto mutex = std::make_shared<QMutex>();
    return [probe = std::move(probe), memo, mutex](const QString& key) -> T {
        {
            QMutexLocker lock(mutex.get());
            auto found = memo->constFind(key);
            if (found != memo->constEnd())
                return *found;
        }
        T answer = probe(key);
        QMutexLocker lock(mutex.get());
        memo->insert(key, answer);
        return answer;
    };
}

}  // namespace

std::optional<QDateTime> MoveIn::newest(const QString& diskPath) {
    if (diskPath.isEmpty())
        return std::nullopt;
    const QByteArray path = QFile::encodeName(diskPath);
    struct stat st;
    if (lstat(path.constData(), &st) != 0 || S_ISLNK(st.st_mode))
        return std::nullopt;
    qint64 best = mtimeMs(st);
    if (S_ISDIR(st.st_mode)) {
        const int fd = open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            walk(fd, 1, best);
    }
    return QDateTime::fromMSecsSinceEpoch(best, Qt::UTC);
}

std::optional<MoveIn::Program> MoveIn::program(const QString& command, const SystemPaths& paths,
                                               const QString& searchPath) {
    if (command == "codesign") {
        return Program{paths.tool(MacTool::security), {"find-identity", "-v", "-p", "codesigning"}};
    }
    if (command == "codex-login") {
        const QStringList places = codexPlaces(paths, searchPath);
        const auto found = std::find_if(places.begin(), places.end(), [&](const QString& place) {
            return QFileInfo(paths.disk(place)).isExecutable();
        });
        // When none is installed the first place is named anyway: running it
        // fails, and a failed run is how the check learns Codex is absent.
        return Program{paths.disk(found != places.end() ? *found : places.first()), {"login", "status"}};
    }
    return std::nullopt;
}

std::optional<QString> MoveIn::run(const Program& program, Machine& machine) {
    const ToolRun result = machine.run(program.path, program.arguments, commandLimit);
    if (!result.finished())
        return std::nullopt;
    // Some tools answer on standard error ("codex login status" does).
    return QString::fromUtf8(result.out + result.err);
}

std::optional<MoveIn::CommandCache::Entry> MoveIn::CommandCache::fresh(const QString& name,
                                                                       Clock::Time now) const {
    QMutexLocker lock(&mutex_);
    const auto found = entries_.constFind(name);
    if (found == entries_.constEnd())
        return std::nullopt;
    if (isOlderThan(found->taken, static_cast<double>(maxAge.count()), now))
        return std::nullopt;
    return *found;
}

void MoveIn::CommandCache::store(const QString& name, Entry entry) {
    QMutexLocker lock(&mutex_);
    entries_.insert(name, std::move(entry));
}

void MoveIn::CommandCache::clear() {
    QMutexLocker lock(&mutex_);
    entries_.clear();
}

MoveIn::CommandCache& MoveIn::commandCache() {
    static CommandCache cache;
    return cache;
}

std::optional<QString> MoveIn::command(const QString& name, const SystemPaths& paths, Machine& machine,
                                       Clock& clock) {
    if (const auto cached = commandCache().fresh(name, clock.now()))
        return cached->output;
    const auto tool = program(name, paths);
    if (!tool)
        return std::nullopt;
    const Clock::Time taken = clock.now();
    const auto output = run(*tool, machine);
    commandCache().store(name, {taken, output});
    return output;
}

MoveIn::Env MoveIn::liveEnv(const MoveInSpec& spec, const std::optional<QDateTime>& since,
                            const SystemPaths& paths, const QString& marksPath) {
    Env env;
    env.since = since;
    env.marks = loadMarks(marksPath);
    // Only the row that needs the privacy database reads it.
    if (spec.kind() == "tcc-granted")
        env.tcc = TCCStore::read(std::nullopt, paths);
    env.installed = remembered<bool>(
        [](const QString& bundle) { return !AppRegistry::current().applicationPaths(bundle).isEmpty(); });
    env.exists = remembered<bool>([paths](const QString& path) {
        const QString disk = diskPath(path, paths);
        return !disk.isEmpty() && QFileInfo::exists(disk);
    });
    env.newest = remembered<std::optional<QDateTime>>(
        [paths](const QString& path) { return newest(diskPath(path, paths)); });
    env.running = remembered<bool>([paths](const QString& process) {
        if (process.isEmpty())
            return false;
        const ToolRun found = Machine::current().run(paths.tool(MacTool::processFinder),
                                                     {"-x", "--", literalPattern(process)}, commandLimit);
        return found.finished() && found.exitCode == 0;
    });
    env.command =
        remembered<std::optional<QString>>([paths](const QString& name) { return command(name, paths); });
    return env;
}

MoveIn::Move MoveIn::detectMove() {
    return KTDeviceMove::detect(KTDeviceMove::recordURL(supportFolder()), MachineIdentity::current());
}

}  // namespace rk
