// Starts the real program under a virtual X server, in demo mode on the
// Accessibility page (asked for by a link of the app's scheme), waits for its
// window, saves a screenshot, hands a second launch's link to it (and hears
// what launches that only bring it forward say), quits it the way a desktop
// session does (SIGTERM) and checks that it ended cleanly and wrote its usage
// counters on the way out; without a display, it ends with one line.
//
// Usage: xvfb_smoke ROWKEEPER_BINARY OUTPUT_FOLDER
// Exit status: 0 pass, 1 fail, 77 skipped (no Xvfb on this machine).

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <utility>

namespace {

// The main window's smallest size: anything less on the screen is not it.
constexpr int kMinWindowArea = 600 * 560;
// The ground colours of the window in the light and the dark scheme.
constexpr QRgb kGroundLight = 0xF7F6F2;
constexpr QRgb kGroundDark = 0x1C1C1E;

void say(const QString& line) {
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

int failWith(const QString& why) {
    say("FAIL: " + why);
    return 1;
}

// Xvfb, asked to end when the test does.
struct Xvfb : QProcess {
    ~Xvfb() override {
        terminate();
        waitForFinished(5000);
    }
};

// Starts Xvfb on a display number it picks itself and writes to its
// standard output; that number.
std::optional<int> startXvfb(Xvfb& xvfb, const QString& program) {
    xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    xvfb.start(program, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-br"});
    QElapsedTimer waited;
    waited.start();
    while (!xvfb.canReadLine() && waited.elapsed() < 20000 && xvfb.state() != QProcess::NotRunning)
        xvfb.waitForReadyRead(200);
    bool ok = false;
    const int number = xvfb.readLine().trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

QImage grab() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0).toImage() : QImage();
}

// Whether the screen shows the window: at least its smallest size lit, much
// of it the ground colour.
bool showsWindow() {
    const QImage rgb = grab().convertToFormat(QImage::Format_RGB32);
    qint64 lit = 0;
    qint64 ground = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb pixel = rgb.pixel(x, y) & 0xFFFFFF;
            lit += pixel != 0;
            ground += pixel == kGroundLight || pixel == kGroundDark;
        }
    }
    return lit >= kMinWindowArea && ground >= kMinWindowArea / 4;
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
    env.remove("QT_QPA_PLATFORM");
    while (QFileInfo::exists(QString("/tmp/.X11-unix/X%1").arg(++display))) {
    }
    for (const QString& name : {QString(), QString(":%1").arg(display)}) {
        env.insert("DISPLAY", name);
        const auto [status, said] = runToEnd(binary, env, {"--demo"});
        if (status != 1 || said.count('\n') != 1 || !said.startsWith("Rowkeeper needs"))
            return QString("with DISPLAY \"%1\": status %2, said: %3").arg(name).arg(status).arg(said);
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        say("usage: xvfb_smoke ROWKEEPER_BINARY OUTPUT_FOLDER");
        return 1;
    }
    const QString binary = QString::fromLocal8Bit(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty()) {
        say("SKIP: Xvfb is not installed");
        return 77;
    }
    if (!QFileInfo(binary).isExecutable())
        return failWith("no program at " + binary);

    Xvfb screen;
    const std::optional<int> display = startXvfb(screen, xvfb);
    if (!display)
        return failWith("Xvfb did not start");
    const QString displayName = QString(":%1").arg(*display);

    // A home of its own: no settings, counters or socket of the person who runs the test.
    QTemporaryDir home;
    if (!home.isValid())
        return failWith("no temporary folder");
    const QString runtime = home.filePath("run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", displayName);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", home.path());
    env.insert("XDG_RUNTIME_DIR", runtime);
    for (const char* folder : {"CONFIG", "DATA", "CACHE"})
        env.insert(QString("XDG_%1_HOME").arg(folder), home.filePath(QString(folder).toLower()));
    env.remove("WAYLAND_DISPLAY");
    // Under the leak checker of a sanitized build: the system's D-Bus library
    // keeps a buffer to the end of the process that nobody can free. Only
    // that library is excused; a leak of the program's own still fails.
    QFile suppressions(home.filePath("lsan.supp"));
    if (suppressions.open(QIODevice::WriteOnly))
        suppressions.write("leak:libdbus-1.so\n");
    suppressions.close();
    const QString lsan = env.value("LSAN_OPTIONS");
    env.insert("LSAN_OPTIONS",
               (lsan.isEmpty() ? "" : lsan + ':') + "suppressions=" + suppressions.fileName());

    if (const std::optional<QString> problem = noDisplayProblem(binary, env, *display))
        return failWith(*problem);

    // This program looks at the same screen.
    qputenv("DISPLAY", displayName.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);

    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(binary, {"--demo", "rowkeeper://accessibility"});
    if (!program.waitForStarted(10000))
        return failWith("the program did not start");

    QElapsedTimer waited;
    waited.start();
    bool shown = false;
    while (!shown && waited.elapsed() < 90000 && program.state() == QProcess::Running) {
        shown = showsWindow();
        if (!shown)
            program.waitForFinished(250);
    }
    if (!shown)
        return failWith(program.state() == QProcess::Running ? "no window appeared"
                                                             : "the program ended before its window");
    say(QString("window shown after %1 ms").arg(waited.elapsed()));

    // A few scan ticks fill the demo page (rows, photo, findings).
    program.waitForFinished(4000);
    if (program.state() != QProcess::Running)
        return failWith("the program ended while showing its window");
    QDir().mkpath(outDir);
    const QString shotPath = QDir(outDir).filePath("rowkeeper-demo.png");
    if (!grab().save(shotPath))
        return failWith("could not save " + shotPath);
    say("screenshot: " + shotPath);

    // A second launch hands its link to the running copy and ends, saying that
    // its option is for a copy that starts; one that only brings the copy
    // forward says so, an option it does not know named first, above the
    // options it knows.
    const QString forward = "Rowkeeper is already running; its window was brought forward.";
    const QString unused =
        " Not used: --demo (options apply when Rowkeeper starts: quit it and start it again to use them).";
    for (const auto& [args, said] :
         {std::pair{QStringList{"--demo", "rowkeeper://loginitems"}, QStringList{forward + unused}},
          {{}, {forward}},
          {{"--selftst"}, {"--selftst is not an option Rowkeeper knows.", forward}}}) {
        const auto [status, lines] = runToEnd(binary, env, args);
        if (status != 0 || lines.split('\n').filter(QRegularExpression("^(--|Rowkeeper)")) != said)
            return failWith("a second launch with \"" + args.join(' ') + "\" said: " + lines);
    }
    program.waitForFinished(1000);

    // Quit as a desktop session does.
    program.terminate();
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished(5000);
        return failWith("the program did not quit on SIGTERM");
    }
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return failWith(QString("the program ended with status %1").arg(program.exitCode()));

    QFile usageFile(home.filePath("data/Rowkeeper/usage.json"));
    const QJsonObject usage = usageFile.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(usageFile.readAll()).object()
                                  : QJsonObject();
    const std::pair<const char*, const char*> counted[] = {
        {"launch", "the launch was not counted on the way out"},
        {"link.accessibility", "the launch link was not followed"},
        {"link.loginItems", "the second launch's link did not reach the running copy"}};
    for (const auto& [name, fault] : counted) {
        if (usage.value(name).toObject().value("count").toInteger() != 1)
            return failWith(fault);
    }
    say("PASS: window shown, link handed over, quit cleanly");
    return 0;
}
