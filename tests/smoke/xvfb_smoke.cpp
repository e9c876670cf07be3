// Starts the real program under a virtual X server, in demo mode on the
// Accessibility page (asked for by a link of the app's scheme), waits for its
// window, saves a screenshot, hands a second launch's link to it, quits it
// the way a desktop session does (SIGTERM) and checks that it ended cleanly
// and wrote its usage counters on the way out; without a display, it ends
// with one line.
//
// Usage: xvfb_smoke ROWKEEPER_BINARY OUTPUT_FOLDER
// Exit status: 0 pass, 1 fail, 77 skipped (no Xvfb on this machine).

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <optional>
#include <utility>

namespace {

constexpr int kSkipped = 77;
constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
// The main window's smallest size: anything less on the screen is not it.
constexpr int kMinWindowArea = 600 * 560;
// The ground colours of the window in the light and the dark scheme.
constexpr QRgb kGroundLight = 0xF7F6F2;
constexpr QRgb kGroundDark = 0x1C1C1E;

void say(const QString& line) {
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

int failWith(const QString& why) {
    say(QStringLiteral("FAIL: ") + why);
    return 1;
}

// Starts Xvfb on a display number it picks itself and reports it.
class VirtualScreen {
public:
    ~VirtualScreen() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000))
                process_.kill();
            process_.waitForFinished(5000);
        }
    }

    std::optional<int> start(const QString& xvfb) {
        int fds[2];
        if (::pipe(fds) != 0)
            return std::nullopt;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(xvfb,
                       {QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(kWidth).arg(kHeight),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-br")});
        ::close(fds[1]);
        std::optional<int> display;
        if (process_.waitForStarted(10000))
            display = readNumber(fds[0], 20000);
        ::close(fds[0]);
        return display;
    }

private:
    static std::optional<int> readNumber(int fd, int timeoutMs) {
        QByteArray text;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeoutMs) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0)
                continue;
            char c = 0;
            const ssize_t n = ::read(fd, &c, 1);
            if (n <= 0)
                break;
            if (c == '\n')
                break;
            text += c;
        }
        bool ok = false;
        const int number = text.trimmed().toInt(&ok);
        return ok ? std::optional<int>(number) : std::nullopt;
    }

    QProcess process_;
};

struct Picture {
    qint64 lit = 0;     // pixels that are not the black background
    qint64 ground = 0;  // pixels of the window's ground colour
};

Picture look(const QImage& image) {
    Picture picture;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb pixel = line[x] & 0xFFFFFF;
            if (pixel != 0)
                ++picture.lit;
            if (pixel == kGroundLight || pixel == kGroundDark)
                ++picture.ground;
        }
    }
    return picture;
}

QImage grab() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->grabWindow(0).toImage() : QImage();
}

// Runs the program to its end with `args`; its status and standard error.
std::pair<int, QString> runToEnd(const QString& binary, const QProcessEnvironment& env,
                                 const QStringList& args) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(binary, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QString()};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

// Without a display, or with one named that is not there (the first free
// number after `display`), the window app ends with one line and status 1.
std::optional<QString> noDisplayProblem(const QString& binary, QProcessEnvironment env, int display) {
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(++display))) {
    }
    for (const QString& name : {QString(), QStringLiteral(":%1").arg(display)}) {
        env.insert(QStringLiteral("DISPLAY"), name);
        const auto [status, said] = runToEnd(binary, env, {QStringLiteral("--demo")});
        if (status != 1 || said.count(QLatin1Char('\n')) != 1 ||
            !said.startsWith(QStringLiteral("Rowkeeper needs")))
            return QStringLiteral("with DISPLAY \"%1\": status %2, said: %3").arg(name).arg(status).arg(said);
    }
    return std::nullopt;
}

QJsonObject readUsage(const QString& dataHome) {
    QFile file(QDir(dataHome).filePath(QStringLiteral("Rowkeeper/usage.json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

qint64 count(const QJsonObject& usage, const QString& name) {
    return usage.value(name).toObject().value(QStringLiteral("count")).toInteger();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        say(QStringLiteral("usage: xvfb_smoke ROWKEEPER_BINARY OUTPUT_FOLDER"));
        return 1;
    }
    const QString binary = QString::fromLocal8Bit(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        say(QStringLiteral("SKIP: Xvfb is not installed"));
        return kSkipped;
    }
    if (!QFileInfo(binary).isExecutable())
        return failWith(QStringLiteral("no program at ") + binary);

    VirtualScreen screen;
    const std::optional<int> display = screen.start(xvfb);
    if (!display)
        return failWith(QStringLiteral("Xvfb did not start"));
    const QString displayName = QStringLiteral(":%1").arg(*display);

    // A home of its own: no settings, counters or socket of the person who runs the test.
    QTemporaryDir home;
    if (!home.isValid())
        return failWith(QStringLiteral("no temporary folder"));
    const QString runtime = home.filePath(QStringLiteral("run"));
    const QString dataHome = home.filePath(QStringLiteral("data"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Under the leak checker of a sanitized build: the system's D-Bus library
    // keeps a buffer to the end of the process that nobody can free. Only
    // that library is excused; a leak of the program's own still fails.
    const QString suppressions = home.filePath(QStringLiteral("lsan.supp"));
    {
        QFile file(suppressions);
        if (file.open(QIODevice::WriteOnly))
            file.write("leak:libdbus-1.so\n");
    }
    const QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
    env.insert(QStringLiteral("LSAN_OPTIONS"), (lsan.isEmpty() ? QString() : lsan + QLatin1Char(':')) +
                                                   QStringLiteral("suppressions=") + suppressions);

    if (const std::optional<QString> problem = noDisplayProblem(binary, env, *display))
        return failWith(*problem);

    // This program looks at the same screen.
    qputenv("DISPLAY", displayName.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);

    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(binary, {QStringLiteral("--demo"), QStringLiteral("rowkeeper://accessibility")});
    if (!program.waitForStarted(10000))
        return failWith(QStringLiteral("the program did not start"));

    // Its window: at least the window's smallest size lit, much of it the ground colour.
    QElapsedTimer waited;
    waited.start();
    bool shown = false;
    while (waited.elapsed() < 90000 && program.state() == QProcess::Running) {
        const Picture picture = look(grab());
        if (picture.lit >= kMinWindowArea && picture.ground >= kMinWindowArea / 4) {
            shown = true;
            break;
        }
        program.waitForFinished(250);
    }
    if (!shown)
        return failWith(program.state() == QProcess::Running
                            ? QStringLiteral("no window appeared")
                            : QStringLiteral("the program ended before its window"));
    say(QStringLiteral("window shown after %1 ms").arg(waited.elapsed()));

    // A few scan ticks fill the demo page (rows, photo, findings).
    program.waitForFinished(4000);
    if (program.state() != QProcess::Running)
        return failWith(QStringLiteral("the program ended while showing its window"));
    QDir().mkpath(outDir);
    const QString shotPath = QDir(outDir).filePath(QStringLiteral("rowkeeper-demo.png"));
    if (!grab().save(shotPath))
        return failWith(QStringLiteral("could not save ") + shotPath);
    say(QStringLiteral("screenshot: ") + shotPath);

    // A second launch hands its link to the running copy and ends, saying
    // that its option is for a copy that starts.
    const auto [secondStatus, secondSaid] =
        runToEnd(binary, env, {QStringLiteral("--demo"), QStringLiteral("rowkeeper://loginitems")});
    if (secondStatus != 0)
        return failWith(QStringLiteral("a second launch did not hand over and end"));
    if (!secondSaid.startsWith(QStringLiteral("Rowkeeper is already running")))
        return failWith(QStringLiteral("a second launch with an option said: ") + secondSaid);
    program.waitForFinished(1000);

    // Quit as a desktop session does.
    program.terminate();
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished(5000);
        return failWith(QStringLiteral("the program did not quit on SIGTERM"));
    }
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return failWith(QStringLiteral("the program ended with status %1").arg(program.exitCode()));

    const QJsonObject usage = readUsage(dataHome);
    if (count(usage, QStringLiteral("launch")) != 1)
        return failWith(QStringLiteral("the launch was not counted on the way out"));
    if (count(usage, QStringLiteral("link.accessibility")) != 1)
        return failWith(QStringLiteral("the launch link was not followed"));
    if (count(usage, QStringLiteral("link.loginItems")) != 1)
        return failWith(QStringLiteral("the second launch's link did not reach the running copy"));
    say(QStringLiteral("PASS: window shown, link handed over, quit cleanly"));
    return 0;
}
