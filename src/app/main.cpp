// The process entry: reads the arguments once, runs the first command-line
// mode they ask for and ends with its status, or starts the window app.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QList>
#include <QSocketNotifier>
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "app/AppDelegate.h"
#include "app/Dispatch.h"
#include "app/SingleInstance.h"
#include "platform/ToolOutput.h"

namespace {

using namespace rk;

// The names QSettings() files the app's user defaults under; the permission
// wizard reads them while it is being configured, so they are set first.
void nameTheApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Quillory Studios"));
    QCoreApplication::setApplicationName(QStringLiteral("Rowkeeper"));
}

// A desktop session ends its apps with SIGTERM (and a terminal with SIGINT);
// both become an ordinary quit, so the counters and the window frame are
// written as when the person quits from the menu.
int quitPipe[2] = {-1, -1};

void askToQuit(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitPipe[1], &byte, 1);
}

void quitOnTerminationSignals(QCoreApplication& app) {
    // Not inherited by the tools the app runs; a signal never blocks on a full pipe.
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = askToQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// The arguments after the program, as given: the hint of the line below
// repeats them.
QStringList givenArguments;

QString noDisplayLine() {
    return Dispatch::noDisplayLine(qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"),
                                   givenArguments);
}

// Qt ends the process with abort() when it cannot open the window system (a
// display that is named but not there). While the application object is
// made, Qt's messages are held back: when it gives up, the person reads our
// one line and the status is 1; otherwise the messages go out as they came.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage>* heldMessages = nullptr;

// What the window app would not use, named above the display line should Qt
// fail to open the display named; in the process that works them out, Qt
// giving up says nothing.
QStringList unusedBeforeDisplay;
bool quietWhenQtGivesUp = false;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        if (!quietWhenQtGivesUp) {
            for (const QString& line : unusedBeforeDisplay)
                printLine(stderr, line);
            printLine(stderr, noDisplayLine());
            std::fflush(stderr);
        }
        ::_exit(1);
    }
    if (heldMessages != nullptr)
        heldMessages->append({type, context.category, text});
}

// What Qt said while it opened the window system: passed on for the window
// app, dropped when the application object only takes Qt's options out.
enum class QtSaid { passOn, drop };

std::unique_ptr<QApplication> openDisplay(int& argc, char** argv, QtSaid said = QtSaid::passOn) {
    QList<HeldMessage> held;
    heldMessages = &held;
    const QtMessageHandler earlier = qInstallMessageHandler(holdMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(earlier);
    heldMessages = nullptr;
    for (const HeldMessage& message : said == QtSaid::passOn ? held : QList<HeldMessage>{})
        qt_message_output(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
                          message.text);
    return app;
}

// The lines naming what the window app would not use, as with a display:
// Qt's own options are taken out first by an application object on the
// offscreen window system, made in a child process so that it leaves
// nothing behind for the application object made next. The lines come back
// apart by NUL, which no argument holds. None when the child could not say.
QStringList unusedLinesApart(int argc, char** argv) {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        quietWhenQtGivesUp = true;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const std::unique_ptr<QApplication> parsed = openDisplay(argc, argv, QtSaid::drop);
        const QByteArray text = Dispatch::unusedLines(QCoreApplication::arguments()).join(QChar(0)).toUtf8();
        for (qsizetype done = 0; done < text.size();) {
            const ssize_t wrote = ::write(ends[1], text.constData() + done, size_t(text.size() - done));
            if (wrote <= 0)
                ::_exit(1);
            done += wrote;
        }
        ::_exit(0);
    }
    ::close(ends[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t got = 0; child > 0 && (got = ::read(ends[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            text.append(buffer, got);
        else if (errno != EINTR)
            break;
    }
    ::close(ends[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return QString::fromUtf8(text).split(QChar(0), Qt::SkipEmptyParts);
}

// Without a display: what the window app would not have used is named as it
// would be with one, then the display line.
int endForWantOfADisplay(int argc, char** argv) {
    if (!givenArguments.isEmpty()) {
        for (const QString& line : unusedLinesApart(argc, argv))
            printLine(stderr, line);
    }
    printLine(stderr, noDisplayLine());
    return 1;
}

int runApplication(int& argc, char** argv, const QStringList& args) {
    givenArguments = args.mid(1);
    const LaunchOptions options = LaunchOptions::from(args);
    const QString display = qEnvironmentVariable("DISPLAY");
    const QString waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    // Rendering the wizard's screens needs no screen: without a display it
    // draws offscreen.
    if (options.windowshotDir && Dispatch::wantsOffscreen(display, waylandDisplay, platform))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!options.windowshotDir && Dispatch::lacksDisplay(display, waylandDisplay, platform))
        return endForWantOfADisplay(argc, argv);

    // Worked out beforehand only when something looks unused (Qt's own
    // options do, until Qt takes them out).
    if (!Dispatch::unusedLines(args).isEmpty())
        unusedBeforeDisplay = unusedLinesApart(argc, argv);
    const std::unique_ptr<QApplication> app = openDisplay(argc, argv);
    // Qt has taken its own options (-platform, -style ...) out by now.
    for (const QString& line : Dispatch::unusedLines(QCoreApplication::arguments()))
        printLine(stderr, line);
    QApplication::setApplicationDisplayName(QStringLiteral("Rowkeeper"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillory.rowkeeper"));
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    // One copy per person and display: a second launch hands its links to
    // the first and ends. Options only a starting copy reads it names as
    // not used; with neither links nor options, it says that it only
    // brought the running copy forward.
    SingleInstance instance;
    if (!options.windowshotDir) {
        // Two launches at once: the one that lost the race to listen hands over.
        if (instance.forward(options.linkTexts) ||
            (!instance.listen() && instance.forward(options.linkTexts))) {
            if (!options.startArguments.isEmpty() || options.linkTexts.isEmpty())
                printLine(stderr, SingleInstance::alreadyRunningLine(options.startArguments));
            return 0;
        }
    }

    AppDelegate delegate(args);
    app->installEventFilter(&delegate);
    QObject::connect(&instance, &SingleInstance::linksReceived, &delegate, &AppDelegate::openForwarded);
    QObject::connect(app.get(), &QCoreApplication::aboutToQuit, &delegate,
                     &AppDelegate::applicationWillTerminate);
    quitOnTerminationSignals(*app);

    delegate.applicationWillFinishLaunching();
    if (const std::optional<int> status = delegate.applicationDidFinishLaunching())
        return *status;
    QApplication::exec();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList args = Arguments::fromMain(argc, argv);
    const Mode mode = Dispatch::mode(args);
    nameTheApplication();

    switch (Dispatch::host(mode.kind)) {
        case AppHost::windows:
            return runApplication(argc, argv, args);
        case AppHost::render:
            if (Dispatch::wantsOffscreen(qEnvironmentVariable("DISPLAY"),
                                         qEnvironmentVariable("WAYLAND_DISPLAY"),
                                         qEnvironmentVariable("QT_QPA_PLATFORM")))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            {
                QApplication app(argc, argv);
                return Dispatch::runCommandLine(mode, args);
            }
        case AppHost::console:
            break;
    }
    QCoreApplication app(argc, argv);
    return Dispatch::runCommandLine(mode, args);
}
