#include "platform/DesktopOpener.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <thread>

#include "platform/FileProbe.h"
#include "platform/Machine.h"

extern char** environ;

namespace rk {

namespace {

constexpr qsizetype kLineLength = 300;
constexpr qsizetype kKeptErrorBytes = 4096;
constexpr int kPollMs = 20;

// Links the opener finds an application for by itself: a browser, a mail
// program, the file's own application.
bool openerTakesAlways(const QString& scheme) {
    static const QStringList schemes{"http", "https", "mailto", "file"};
    return schemes.contains(scheme);
}

// Why the desktop names no application for `scheme` links; none when it names one.
std::optional<QString> noHandler(const QString& scheme) {
    const QString links = "\"" + scheme + ":\" links";
    const QString query = QStandardPaths::findExecutable("xdg-mime");
    if (query.isEmpty())
        return "xdg-mime is not installed, so nothing here names an application for " + links;
    const ToolRun run = Machine::current().run(query, {"query", "default", "x-scheme-handler/" + scheme},
                                               DesktopOpener::queryLimit);
    if (run.finished() && run.exitCode == 0 && !run.out.trimmed().isEmpty())
        return std::nullopt;
    QString why = "no application on this desktop opens " + links;
    if (!run.err.trimmed().isEmpty())
        why += " (xdg-mime: " + DesktopOpener::oneLine(run.err) + ")";
    else if (!run.finished())
        why += " (xdg-mime gave no answer)";
    return why;
}

// Reads what is there without waiting; keeps the first bytes. False once
// every writer has closed the channel.
bool drain(int channel, QByteArray* kept) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(channel, buffer, sizeof buffer);
        if (count > 0) {
            if (kept && kept->size() < kKeptErrorBytes)
                kept->append(buffer, std::min<qsizetype>(count, kKeptErrorBytes - kept->size()));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        return count < 0 && errno == EAGAIN;
    }
}

// What the opener left running: its error channel is read and dropped until
// every writer is gone (a reader that went away would end a chatty
// application with SIGPIPE), and the opener is reaped once it ends.
void finishInBackground(pid_t pid, int channel) {
    std::thread([pid, channel] {
        bool reaped = pid <= 0;
        bool open = channel >= 0;
        while (open || !reaped) {
            if (!reaped) {
                int status = 0;
                const pid_t answer = ::waitpid(pid, &status, open ? WNOHANG : 0);
                reaped = answer == pid || (answer < 0 && errno != EINTR);
            }
            if (open) {
                pollfd ready{channel, POLLIN, 0};
                ::poll(&ready, 1, reaped ? -1 : 200);
                open = drain(channel, nullptr);
                if (!open)
                    ::close(channel);
            }
        }
    }).detach();
}

// Runs the opener on `target` in a session of its own and waits up to the
// answer limit; none when it took the target.
std::optional<QString> runOpener(const QString& program, const QByteArray& target) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return "xdg-open could not be started: " + errnoText(errno);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, channel[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    QByteArray path = QFile::encodeName(program);
    QByteArray argument = target;
    char* argv[] = {path.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int started = ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(channel[1]);
    if (started != 0) {
        ::close(channel[0]);
        return "xdg-open could not be started: " + errnoText(started);
    }
    ::fcntl(channel[0], F_SETFL, ::fcntl(channel[0], F_GETFL) | O_NONBLOCK);

    QByteArray errors;
    bool open = true;
    int status = 0;
    bool ended = false;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        if (ended || clock.elapsed() >= DesktopOpener::answerLimit.count())
            break;
        pollfd ready{channel[0], POLLIN, 0};
        ::poll(&ready, open ? 1 : 0, kPollMs);
        if (open)
            open = drain(channel[0], &errors);
    }
    if (open)
        open = drain(channel[0], &errors);
    // An application the opener started may hold the channel after the opener ended.
    if (!ended || open)
        finishInBackground(ended ? 0 : pid, open ? channel[0] : -1);
    if (!open)
        ::close(channel[0]);
    if (!ended || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        return std::nullopt;
    QString why = WIFEXITED(status) ? "xdg-open answered " + QString::number(WEXITSTATUS(status))
                                    : "xdg-open ended by signal " + QString::number(WTERMSIG(status));
    if (!errors.trimmed().isEmpty())
        why += ": " + DesktopOpener::oneLine(errors);
    return why;
}

}  // namespace

QString DesktopOpener::oneLine(const QByteArray& bytes) {
    const QString line = QString::fromUtf8(bytes).simplified();
    return line.size() <= kLineLength ? line : line.left(kLineLength - 1) + QChar(0x2026);
}

std::optional<QString> DesktopOpener::open(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || scheme.isEmpty())
        return QString("not a link");
    if (!openerTakesAlways(scheme)) {
        if (std::optional<QString> missing = noHandler(scheme))
            return missing;
    }
    const QString opener = QStandardPaths::findExecutable("xdg-open");
    if (opener.isEmpty())
        return QString("xdg-open is not installed");
    // A local file goes by its path, which starts with "/" and so is never taken for an option.
    return runOpener(opener, url.isLocalFile() ? QFile::encodeName(url.toLocalFile())
                                               : url.toString(QUrl::FullyEncoded).toUtf8());
}

}  // namespace rk
