#include "permissions/FreshProcessCheck.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>

#include "permissions/PermissionWizard.h"

extern char** environ;

namespace rk {

namespace {
using Clock = std::chrono::steady_clock;

// Reads what is there without blocking; false once the pipe is closed.
bool drain(int fd, QByteArray& output) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, n);
            if (output.size() > KTFreshProcessCheck::outputLimit)
                output.remove(0, output.size() - KTFreshProcessCheck::outputLimit);
            continue;
        }
        if (n == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

void reap(pid_t pid) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

struct Spawned {
    pid_t pid = -1;
    int output = -1;
};

std::optional<Spawned> spawn(const QString& executable) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const QByteArray program = QFile::encodeName(executable);
    QByteArray flag(KTPermissionWizard::permissionCheckFlag);
    char* argv[] = {const_cast<char*>(program.constData()), flag.data(), nullptr};
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (failed != 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return Spawned{pid, fds[0]};
}
}  // namespace

std::optional<KTGrantMap> KTFreshProcessCheck::ask(const QString& executable, std::chrono::milliseconds limit,
                                                   std::chrono::milliseconds poll) {
    const auto child = spawn(executable);
    if (!child)
        return std::nullopt;
    const auto deadline = Clock::now() + limit;
    QByteArray output;
    bool open = true;
    for (;;) {
        if (open)
            open = drain(child->output, output);
        int status = 0;
        pid_t done = ::waitpid(child->pid, &status, WNOHANG);
        if (done == child->pid || (done < 0 && errno != EINTR))
            break;
        if (Clock::now() >= deadline) {
            ::kill(child->pid, SIGKILL);
            reap(child->pid);
            ::close(child->output);
            return std::nullopt;
        }
        if (open) {
            pollfd readable{child->output, POLLIN, 0};
            ::poll(&readable, 1, int(poll.count()));
        } else {
            ::usleep(useconds_t(std::chrono::microseconds(poll).count()));
        }
    }
    // A grandchild may still hold the pipe; take what is there and stop.
    if (open)
        drain(child->output, output);
    ::close(child->output);
    return parseAnswer(output);
}

std::optional<KTGrantMap> KTFreshProcessCheck::parseAnswer(const QByteArray& output) {
    const QList<QByteArray> lines = output.split('\n');
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (!line->startsWith('{'))
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(line->trimmed());
        if (!document.isObject())
            return std::nullopt;
        KTGrantMap grants;
        const QJsonObject object = document.object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!it.value().isBool())
                return std::nullopt;
            grants[it.key()] = it.value().toBool();
        }
        return grants;
    }
    return std::nullopt;
}

}  // namespace rk
