// A stand-in app for the updater's end-to-end test: a program of its own
// that runs as the app in the bundle named on its command line, so the swap
// script waits for a real process to quit. It sets the updater up as the app
// would, runs one check (automatic through `start`, or interactive) and then
// what the test asks: quit, or press the install button. It prints what the
// person would see, one line each: "status: ", "alert: ", "confirm: ",
// "pending: ", "just updated: ", and "will terminate" when it ends.
//
//   update_driver --bundle APP --root MACHINE --log FILE --feed BASE --ca PEM
//                 [--interactive] [--confirm yes|no] [--then STEP,STEP...]
//                 [--launched-from APP] [--target-pid PID] [--wait-polls N]
//                 [--macos VERSION] [--set KEY=VALUE]... [--refuse-quit]
//                 [--busy N] [--defer N] [--retry-every SECONDS]
//                 [--shell-fails]
//
// Steps: "install-now" (the install button), "remove-staging" (what a later
// check does to a held update's staging folder); a quit always comes last.
// The app's version is the one in its bundle when it starts, or in the
// bundle `--launched-from` names: what the process was launched with.
// "--busy N" and "--defer N" hold the first N automatic installs asked
// about, for live work and out of courtesy.

#include <QCoreApplication>
#include <QSettings>
#include <QSslConfiguration>
#include <QTimer>

#include "platform/AppBundle.h"
#include "platform/BundleInfo.h"
#include "platform/Machine.h"
#include "platform/SystemPaths.h"
#include "platform/SystemVersion.h"
#include "update/KTUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateHolds.h"
#include "update/UpdateInstall.h"
#include "update/UpdateLog.h"
#include "update/UpdateSwap.h"

namespace {

using namespace rk;

void say(const QString& line) {
    std::printf("%s\n", qUtf8Printable(line));
    std::fflush(stdout);
}

// The app in the bundle, with the information it was launched with.
class InstalledApp final : public AppBundle {
public:
    InstalledApp(QString path, const QString& launchedFrom)
        : path_(std::move(path)), info_(BundleInfo::read(launchedFrom)) {}
    std::optional<QString> infoString(const QString& key) const override { return info_.string(key); }
    std::optional<QString> bundleIdentifier() const override { return info_.identifier(); }
    QString bundlePath() const override { return path_; }
    QString executablePath() const override { return path_ + "/Contents/MacOS/Rowkeeper"; }
    QStringList arguments() const override { return QCoreApplication::arguments(); }
    qint64 processID() const override { return QCoreApplication::applicationPid(); }
    std::optional<QDateTime> launchDate() const override { return std::nullopt; }

private:
    QString path_;
    BundleInfo info_;
};

// The host's tools, but a shell that cannot be started.
class NoShell final : public Machine {
public:
    ToolRun run(const QString& program, const QStringList& arguments,
                std::chrono::milliseconds limit) override {
        return host_.run(program, arguments, limit);
    }
    ToolResult runMerged(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds limit) override {
        return host_.runMerged(program, arguments, limit);
    }
    Result<qint64, QString> startDetached(const QString&, const QStringList&) override {
        return fail(QStringLiteral("Permission denied"));
    }

private:
    HostMachine host_;
};

class NamedSystem final : public SystemVersion {
public:
    std::optional<QVersionNumber> version;
    std::optional<QVersionNumber> macOS() const override { return version; }
};

// Swallows the application's quit request, as an app whose delegate says no.
class QuitRefusal final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Quit; }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Quillory Studios");
    QCoreApplication::setApplicationName("Rowkeeper");
    QHash<QString, QString> option;
    QStringList settings;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString name = args[i].mid(2);
        const bool flag = name == "interactive" || name == "refuse-quit" || name == "shell-fails";
        const QString value = flag ? "yes" : args.value(++i);
        if (name == "set")
            settings << value;
        else
            option.insert(name, value);
    }

    InstalledApp self(option.value("bundle"), option.value("launched-from", option.value("bundle")));
    AppBundle::setCurrent(&self);
    NamedSystem system;
    if (option.contains("macos"))
        system.version = QVersionNumber::fromString(option.value("macos"));
    SystemVersion::setCurrent(&system);
    SystemPaths::setCurrent(SystemPaths::rerooted(option.value("root"), QDir::homePath()));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(QSslCertificate::fromPath(option.value("ca")));
    QSslConfiguration::setDefaultConfiguration(tls);
    for (const QString& setting : settings)
        QSettings().setValue(setting.section('=', 0, 0), setting.section('=', 1));
    NoShell noShell;
    if (option.contains("shell-fails"))
        Machine::setCurrent(&noShell);
    QuitRefusal refusal;
    if (option.contains("refuse-quit"))
        app.installEventFilter(&refusal);

    namespace KT = KTUpdate;
    KT::setLogPath(option.value("log"));
    KT::appKey = "lark-spur";
    KT::feedBase = option.value("feed");
    if (option.contains("target-pid"))
        KT::targetPID = option.value("target-pid").toLongLong();
    KT::swapWaitPolls = option.value("wait-polls", QString::number(KT::kSwapWaitPolls)).toInt();
    KT::holdsNoLiveWork = true;
    const auto holdFor = [](int times) {
        return [left = std::make_shared<int>(times)] { return (*left)-- > 0; };
    };
    if (option.contains("busy"))
        KT::mustNotInstallNow = holdFor(option.value("busy").toInt());
    if (option.contains("defer"))
        KT::shouldDeferInstall = holdFor(option.value("defer").toInt());
    KT::liveWorkRetryInterval = option.value("retry-every", "300").toDouble();
    KT::onStatus = [](const QString& m) { say("status: " + m); };
    KT::onPendingUpdate = [](const QString& v) { say("pending: " + v); };
    KT::onJustUpdated = [](const QString& v) { say("just updated: " + v); };
    KT::presentNotice = [](const QString& t, const QString& m) { say("alert: " + t + " | " + m); };
    if (option.contains("confirm")) {
        KT::presentConfirm = [answer = option.value("confirm") == "yes"](const QString& t, const QString& m,
                                                                         const QString&, const QString&) {
            say("confirm: " + t + " | " + m);
            return answer;
        };
    }
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        say("will terminate");
        KT::installPendingOnQuitIfAny();
    });

    const bool interactive = option.contains("interactive");
    KT::start(interactive ? KT::kFirstCheckDelay : std::chrono::milliseconds(0));
    if (interactive)
        KT::checkNow(true);

    // Each step once the check before it has ended and a quit it asked for
    // has had its turn; the quit last.
    QStringList steps = option.value("then").split(',', Qt::SkipEmptyParts) << "quit";
    QTimer poll;
    int idle = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (KT::isChecking() || KT::isLiveWorkRetryArmed()) {
            idle = 0;
            return;
        }
        // What the update queue still has to do (an install's swap) is done,
        // and what it handed to this thread (a quit, two hops deep) has run
        // before the next look, however late this thread gets its next turn.
        KT::q().sync([] {});
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();
        if (++idle < 2 || steps.isEmpty())
            return;
        idle = 0;
        const QString step = steps.takeFirst();
        say("step: " + step);
        if (step == "install-now")
            KT::installPendingNow();
        else if (step == "remove-staging")
            QDir(QFileInfo(KT::pendingUpdate().staged.value_or("/nonexistent/x")).path()).removeRecursively();
        else
            QCoreApplication::quit();
    });
    poll.start(50);
    QTimer::singleShot(std::chrono::seconds(20), [] {
        say("driver gave up");
        std::fflush(stdout);
        std::_Exit(3);
    });
    return app.exec();
}
