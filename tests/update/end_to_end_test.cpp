// The updater from the check to the relaunch, for real. A stand-in app
// (update_driver) runs the updater as the app in a bundle under a temporary
// home, fetches a newer bundle and its feed from a loopback HTTPS server,
// and its swap script waits for that process to quit, swaps and relaunches
// through fake tools that log their calls. Each case reads the outcome from
// the driver's lines, the log, the tools' calls and the files; all the while
// a watcher checks that the bundle or its ".old" holds a complete copy.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>

#include "platform/BundleInfo.h"
#include "platform/Machine.h"
#include "support/FakeTools.h"
#include "support/FileShapes.h"
#include "support/LoopbackServer.h"
#include "support/Printers.h"
#include "support/QtApp.h"
#include "update/UpdateSwapScript.h"

namespace rk {
namespace {

[[maybe_unused]] const auto* const kApp = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::core, "update_end_to_end_test"));

const QString kName = "Rowkeeper.app";
const QString kOdd = "Row$(touch ran-dollar)`touch ran-tick`$HOME'keeper.app";
const QString kId = "com.quillory.rowkeeper";

// Reads CFBundleVersion as PlistBuddy ("-c 'Print :Key' FILE") and defaults
// ("read BUNDLE/Contents/Info Key") would.
const QString kPlistReader = R"(case "$1" in read) f="$2.plist"; k="$3" ;; *) f="$3"; k="${2#Print :}" ;; esac
v=$(sed -n "s|.*<key>$k</key><string>\(.*\)</string>.*|\1|p" "$f" 2>/dev/null)
[ -n "$v" ] || exit 1
printf '%s\n' "$v"
)";

// An executable, a payload, a link and the Info.plist; complete when all four are there.
void makeBundle(const QString& path, const QString& version, int build, const QString& id = kId) {
    QDir().mkpath(path + "/Contents/MacOS");
    QDir().mkpath(path + "/Contents/Resources");
    // Whole files only, so the watcher never sees one half written.
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QSaveFile file(path + "/Contents/" + name);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.commit();
    };
    write("Resources/payload", QByteArray(65536, 'x'));
    write("MacOS/Rowkeeper", "#!/bin/sh\n");
    QFile::setPermissions(path + "/Contents/MacOS/Rowkeeper",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write("Info.plist",
          QString("<plist version=\"1.0\"><dict>\n<key>CFBundleName</key><string>Rowkeeper</string>\n"
                  "<key>CFBundleIdentifier</key><string>%1</string>\n"
                  "<key>CFBundleExecutable</key><string>Rowkeeper</string>\n"
                  "<key>CFBundleShortVersionString</key><string>%2</string>\n"
                  "<key>CFBundleVersion</key><string>%3</string>\n</dict></plist>\n")
              .arg(id, version)
              .arg(build)
              .toUtf8());
    QFile::link("MacOS", path + "/Contents/Current");
}

// "device:inode" of `path` itself, as the swap script marks the bundle it sets aside.
QString identity(const QString& path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return QString("%1:%2").arg(qulonglong(status.st_dev)).arg(qulonglong(status.st_ino));
}

// When `pid` started, as ps prints it for the swap script.
QString startOf(qint64 pid) {
    QProcess ps;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    env.insert("TZ", "UTC0");
    ps.setProcessEnvironment(env);
    ps.start("/bin/ps", {"-o", "lstart=", "-p", QString::number(pid)});
    ps.waitForFinished();
    return QString::fromUtf8(ps.readAllStandardOutput()).simplified();
}

// A zip of what is in `folder` once `make` has run there ("-0" in `options`: stored).
QByteArray zipped(const QString& folder, const QString& make = ":", const QString& options = "") {
    QProcess::execute("/bin/sh",
                      {"-c", "cd \"$0\" && " + make + " && zip -qry " + options + " a.zip *", folder});
    return test::readFileAt(folder + "/a.zip");
}

bool complete(const QString& path) {
    return BundleInfo::read(path).isReadable() && QFileInfo::exists(path + "/Contents/MacOS/Rowkeeper") &&
           QFileInfo(path + "/Contents/Resources/payload").size() == 65536 &&
           QFileInfo(path + "/Contents/Current").isSymLink();
}

QString versionOf(const QString& path) {
    return BundleInfo::read(path).string("CFBundleShortVersionString").value_or("none");
}

// Up to a minute: the swap script runs beside other test programs on a
// loaded machine; a passing case returns as soon as `done` holds.
bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 1200 && !done(); ++i)
        QThread::msleep(50);
    return done();
}

// Shell lines with which a stand-in, when `when` holds and the file `hold`
// is there, takes that file and waits until the test lets it go on.
QString waitsWhenHeld(const QString& when, const QString& hold) {
    return "if " + when + " && mv '" + hold + "' '" + hold + "ing' 2>/dev/null; then\n  while [ -e '" + hold +
           "ing' ]; do sleep 0.05; done\nfi\n";
}
// Whether a stand-in waits at `hold` (within a minute); `letGo` lets it on.
bool heldAt(const QString& hold) {
    return waitFor([&] { return QFileInfo::exists(hold + "ing"); });
}
void letGo(const QString& hold) {
    QFile::remove(hold + "ing");
}

// While it lives, the orphans of the scripts a case starts or kills come to
// this process, which reaps them: the system's first process may leave them
// unreaped, and one unreaped still counts as a process of its group.
struct Adopting {
    Adopting() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~Adopting() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
};
// Whether no process of `group` is left (within a minute), once the ones
// this process adopted are reaped.
bool groupEnded(pid_t group) {
    return waitFor([&] {
        siginfo_t info{};
        while (::waitid(P_PGID, id_t(group), &info, WEXITED | WNOHANG) == 0 && info.si_pid != 0)
            info = {};
        return ::kill(-group, 0) != 0;
    });
}

// Public: the table's cases set the machine up through it.
class UpdateEndToEnd : public ::testing::Test {
public:
    struct Run {
        int status = -1;
        QStringList lines;
    };

    void SetUp() override {
        QDir().mkpath(dir.filePath("work"));
        QDir().mkdir(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        test::writeFileAt(dir.filePath("ca.pem"), server.certificatePem());
        const QString control = root.disk("/.fake-tools/copy"), hold = root.disk("/.fake-tools/hold");
        tools.installStandIn(
            MacTool::ditto,
            waitsWhenHeld("[ \"$#\" -eq 2 ]", hold) + "if [ \"$#\" -eq 2 ] && [ -f '" + control +
                "' ]; then\n" +
                "  mkdir -p \"$2/Contents/Resources\" && cp \"$1/Contents/Resources/payload\" "
                "\"$2/Contents/Resources/\"\n  exit 1\nfi\n" +
                // Copies take a moment, so the watcher sees each step of a swap.
                "[ \"$#\" -eq 2 ] && sleep 0.2\n");
        for (const MacTool tool : {MacTool::codesign, MacTool::spctl, MacTool::xattr, MacTool::open,
                                   MacTool::launchctl, MacTool::launchServicesRegister})
            tools.install(tool);
        tools.answer(MacTool::codesign, 0, "TeamIdentifier=K4TQ9XR2VM\n");
        tools.installScript(MacTool::plistBuddy, kPlistReader);
        tools.installScript(MacTool::defaults, kPlistReader);
        makeBundle(launched, "1.4.1", 56);
        install(kName);
    }

    void TearDown() override {
        stop = true;
        if (watcher.joinable())
            watcher.join();
        EXPECT_FALSE(lost) << "a moment without a complete copy of the app";
        sleeper.kill();
        sleeper.waitForFinished();
    }

    // The installed app 1.4.1 (56), and 1.4.2 (57) on the feed under the same name.
    void install(const QString& name) {
        app = home + "/Applications/" + name;
        makeBundle(app, "1.4.1", 56);
        publish("1.4.2", 57, name);
    }

    // `version` (`build`) as the newest on the feed, with `extra` keys.
    void publish(const QString& version, int build, const QString& name = kName, const QString& id = kId,
                 const QJsonObject& extra = {}) {
        QTemporaryDir pack;
        makeBundle(pack.filePath(name), version, build, id);
        const QByteArray bytes = zipped(pack.path());
        digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        server.answer("/lark-spur/" + version.toUtf8() + ".zip", {200, bytes});
        QJsonObject feed{{"version", version},
                         {"build", build},
                         {"url", server.base() + "/lark-spur/" + version + ".zip"},
                         {"sha256", QString(digest)}};
        for (auto key = extra.begin(); key != extra.end(); ++key)
            feed.insert(key.key(), key.value());
        server.answer("/lark-spur/appcast.json", {200, QJsonDocument(feed).toJson()});
    }

    // The driver's lines, once it has ended; "<launched>" in `arguments`
    // names a copy of the app as installed at first. The watcher starts with
    // the first run.
    Run drive(QStringList arguments) {
        arguments.replaceInStrings("<launched>", launched);
        watching();
        QProcess driver;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("LC_ALL", "C");
        env.insert("TZ", "UTC");
        driver.setProcessEnvironment(env);
        driver.setWorkingDirectory(dir.filePath("work"));
        driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        driver.start(ROWKEEPER_UPDATE_DRIVER,
                     QStringList{"--bundle", app, "--root", root.root(), "--log", log, "--feed",
                                 server.base(), "--ca", dir.filePath("ca.pem")} +
                         arguments);
        driver.waitForFinished(90'000);
        Run run{driver.exitStatus() == QProcess::NormalExit ? driver.exitCode() : -1, {}};
        for (const QString& line :
             QString::fromUtf8(driver.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
            run.lines << normalised(line);
        return run;
    }

    // Paths, process ids, times and the digest as the expectations write them.
    QString normalised(QString line) const {
        static const QRegularExpression stamp("checked \\d{1,2}:\\d\\d[ap]m"),
            waited("pid \\d+ exited after \\d+s"), alive("pid \\d+ still alive"), owner("owner pid \\d+"),
            group("process group \\d+");
        return line.replace(app, "<app>")
            .replace(root.root(), "<root>")
            .replace(server.base(), "<feed>")
            .replace(runtime + "/KTUpdate", "<staging>")
            .replace(stamp, "checked <time>")
            .replace(waited, "pid <pid> exited after Ns")
            .replace(alive, "pid <pid> still alive")
            .replace(owner, "owner pid <pid>")
            .replace(group, "process group <group>")
            .replace(digest.left(12), "<sha>");
    }

    // The log's entries by one writer ("app" or "shim"), normalised.
    QStringList logged(const QString& writer) const {
        QStringList entries;
        static const QRegularExpression entry("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d (app|shim): (.*)$");
        for (const QString& line : QString::fromUtf8(test::readFileAt(log)).split('\n')) {
            if (const auto match = entry.match(line); match.hasMatch() && match.captured(1) == writer)
                entries << normalised(match.captured(2));
        }
        return entries;
    }

    // Waits until the script has logged `count` lines that begin with `start`.
    bool shimSaid(const QString& start, int count = 1) {
        return waitFor([&] {
            const QStringList lines = logged("shim");
            return std::count_if(lines.begin(), lines.end(),
                                 [&](const QString& l) { return l.startsWith(start); }) >= count;
        });
    }

    QStringList opened() const {
        return tools.calls().filter(QRegularExpression("^open ")).replaceInStrings(app, "<app>");
    }

    QString staging(const QString& version = "1.4.2-57") const {
        return runtime + "/KTUpdate/KTUpdate-lark-spur-" + version;
    }

    qint64 sleep() {
        sleeper.start("sleep", {"60"});
        sleeper.waitForStarted();
        return sleeper.processId();
    }

    // The next copies of the swap fail after a partial copy.
    void failCopies() { root.writeFile("/.fake-tools/copy", ""); }
    // The next copy of a swap waits, once it has begun, until `releaseCopy`.
    void holdNextCopy() { root.writeFile("/.fake-tools/hold", ""); }
    bool copyHeld() { return heldAt(root.disk("/.fake-tools/hold")); }
    void releaseCopy() { letGo(root.disk("/.fake-tools/hold")); }

    // `version` (`build`) staged in a folder of its own with `files` more
    // files in it, as the updater stages it; the folder.
    QString stageBuild(const QString& version, int build, int files = 0) {
        const QString stage = dir.filePath("stage-%1").arg(build);
        makeBundle(stage + "/" + kName, version, build);
        if (files > 0) {
            const QString many = stage + "/" + kName + "/Contents/Resources/many";
            QDir().mkpath(many);
            QProcess::execute("/bin/sh",
                              {"-c", "cd \"$0\" && seq " + QString::number(files) + " | xargs touch", many});
        }
        return stage;
    }
    // The script that swaps the app for the bundle staged in `stage`, its app gone already.
    KTUpdate::SwapScript swapFrom(const QString& stage) {
        if (gone == 0) {
            gone = sleep();
            wake();
        }
        KTUpdate::SwapScript swap;
        swap.current = swap.destination = app;
        std::tie(swap.staged, swap.stage, swap.log, swap.pid) =
            std::tuple(stage + "/" + kName, stage, log, gone);
        swap.ditto = root.paths().tool(MacTool::ditto);
        swap.plistBuddy = root.paths().tool(MacTool::plistBuddy);
        swap.defaults = root.paths().tool(MacTool::defaults);
        return swap;
    }
    // Runs the script for `swap` to its end; false when it had not ended
    // after a minute (it is killed then).
    static bool runs(const KTUpdate::SwapScript& swap) {
        QProcess shell;
        shell.start("/bin/sh", {"-c", KTUpdate::swapScriptText(swap)});
        if (shell.waitForFinished(60'000))
            return true;
        shell.kill();
        shell.waitForFinished();
        return false;
    }
    // The lock as a script that died mid-swap left it, its "copying" mark
    // holding `mark`, last modified ten minutes ago.
    void strandedLock(const QString& mark) {
        strandedWith("copying", [&](const QString& path) { test::writeFileAt(path, mark.toUtf8() + "\n"); });
    }
    // The lock as a dead script left it ten minutes ago, `name` in it made by `make`.
    void strandedWith(const QString& name, const std::function<void(const QString&)>& make) {
        QDir().mkdir(app + ".swaplock");
        make(app + ".swaplock/" + name);
        age(app + ".swaplock");
    }
    // The lock, its owner record naming `pid` started at `start`.
    void lockedBy(qint64 pid, const QString& start) {
        QDir().mkdir(app + ".swaplock");
        test::writeFileAt(app + ".swaplock/owner", QString("%1 %2\n").arg(pid).arg(start).toUtf8());
    }
    // A process lister that runs `lines` first, then ps; its path.
    QString lister(const QString& lines) {
        const QString path = dir.filePath("ps");
        test::writeFileAt(path, ("#!/bin/sh\n" + lines + "exec /bin/ps \"$@\"\n").toUtf8(), true);
        return path;
    }
    // Last modified ten minutes ago.
    static void age(const QString& path) { QProcess::execute("touch", {"-d", "10 minutes ago", path}); }
    void wake() {
        sleeper.kill();
        sleeper.waitForFinished();
    }

    void watching() {
        if (!watcher.joinable())
            watcher = std::thread([this] { watch(); });
    }
    // At every moment the bundle or its ".old" (or a renamed copy) is complete.
    void watch() {
        bool before = true;
        while (!stop) {
            QStringList paths;
            {
                QMutexLocker lock(&watchedMutex);
                paths = {app, app + ".old", renamed};
            }
            const bool now = std::any_of(paths.begin(), paths.end(), complete);
            lost = lost || (!before && !now);
            before = now;
            QThread::msleep(5);
        }
    }

    QTemporaryDir dir;
    const QString home = dir.filePath("home");
    const QString runtime = dir.filePath("runtime");
    const QString log = dir.filePath("state/updater.log");
    const QString launched = dir.filePath("launched/Rowkeeper.app");
    test::TempRoot root;
    test::FakeTools tools{root};
    test::LoopbackServer server{true};
    QString app;
    QString renamed;
    QString digest;
    qint64 gone = 0;  // a process that has ended
    QMutex watchedMutex;
    std::thread watcher;
    std::atomic<bool> stop{false}, lost{false};
    QProcess sleeper;
};

// ---- One run of the driver, from the check to the script's last line ----

struct Case {
    const char* name;
    QStringList args;
    std::function<void(UpdateEndToEnd&)> before;  // what the machine is like first
    QStringList said;                             // the driver's lines
    QStringList shim;                             // the script's log entries; empty: no script ran
    QString version;                              // installed afterwards
    QStringList opened;
    QString logged = {};  // an entry of the app's that must be in the log
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const QString kDownloading = "status: downloading v1.4.2\u2026";
const QString kInstalling = "status: installing v1.4.2\u2026";
const QString kAsk =
    "confirm: A new version is available | v1.4.2 (57) is ready. Install it now? The app will relaunch.";
const QString kReady = "status: v1.4.2 ready to install";
const QString kSwapping = "pid <pid> exited after Ns; swapping";
const QString kInstalled = "installed <app> (build 57)";
const QString kBackground = "open -g --env KT_BACKGROUND_LAUNCH=1 <app>";
const QString kGone =
    "the staged update at <staging>/KTUpdate-lark-spur-1.4.2-57/Rowkeeper.app is gone; "
    "forgetting it rather than restarting the app with nothing to install";
const QString kNoShell =
    "the install script could not start (Permission denied); quit and reopen the app to try again";
const QStringList kQuit{"step: quit", "will terminate"};
const QStringList kHeld{kDownloading, kAsk, kReady, "pending: 1.4.2"};

const QStringList kSwapped{kSwapping, kInstalled, "done; relaunch requested"};
const QString kFailed = "ditto FAILED (exit 1); restoring the previous bundle";
const QString kNotABundle = "deleting a leftover <app>.old that is no complete bundle";
using Setup = std::function<void(UpdateEndToEnd&)>;

// A run whose script installs 1.4.2.
Case installs(const char* name, const QStringList& args, const QStringList& said, const QStringList& opened,
              const Setup& before = {}, const QStringList& shim = kSwapped, const QString& logged = {}) {
    return {name, args, before, said, shim, "1.4.2", opened, logged};
}

// A run that ends with the app as it was (`version`) and starts no script.
Case stays(const char* name, const QStringList& args, const QStringList& said, const Setup& before = {},
           const QString& logged = {}, const QString& version = "1.4.1") {
    return {name, args, before, said + kQuit, {}, version, {}, logged};
}

Case refused(const char* name, const Setup& before, const QString& error) {
    return stays(name, {}, {kDownloading, "status: checked <time> \u00b7 v1.4.2 failed: " + error}, before);
}

Setup offering(const QJsonObject& extra, const QString& version = "1.4.2", int build = 57) {
    return [=](UpdateEndToEnd& t) { t.publish(version, build, kName, kId, extra); };
}

const QString kRetried = "status: installing v1.4.2\u2026 (no longer in use)";

const Case kCases[] = {
    installs("AutomaticInstallRelaunchesInTheBackground", {}, {kDownloading, kInstalling, "will terminate"},
             {kBackground}),
    installs(
        "TheNextStartSaysTheUpdateTook", {},
        QStringList{"just updated: 1.4.2",
                    "status: checked <time> \u00b7 up to date \u00b7 build 57 is the newest published"} +
            kQuit,
        {kBackground},
        [](auto& t) {
            t.drive({});
            t.shimSaid("done");
        },
        kSwapped, "running v1.4.2 after a swap; update took"),
    installs("ConfirmedInstallRelaunchesInFront", {"--interactive", "--confirm", "yes"},
             {kDownloading, kAsk, kInstalling, "will terminate"}, {"open <app>"}),
    installs("DeclinedInstallWaitsForTheButton",
             {"--interactive", "--confirm", "no", "--then", "install-now"},
             kHeld + QStringList{"step: install-now", "will terminate"}, {"open <app>"}),
    installs("HeldUpdateInstallsWhenTheAppQuits", {"--set", "KTUpdateAutoInstall=false"},
             QStringList{kDownloading, kReady, "pending: 1.4.2"} + kQuit, {}, {},
             {kSwapping, kInstalled, "done"}),
    installs("QuitRefusedEndsTheAppAfterThreeSeconds", {"--refuse-quit"},
             {kDownloading, kInstalling, "step: quit", "will terminate"}, {kBackground}, {}, kSwapped,
             "quit was refused (an unsaved document or a delegate said no); exiting so the staged update can "
             "install"),
    installs("LiveWorkHoldRetriesUntilFree", {"--busy", "2", "--retry-every", "0.2"},
             {kDownloading, "status: v1.4.2 ready. Holding while this Mac is in use", "pending: 1.4.2",
              kRetried, "will terminate"},
             {kBackground}),
    installs("CourtesyHoldRetriesUntilFree", {"--defer", "1", "--retry-every", "0.2"},
             {kDownloading, "status: v1.4.2 ready. Installs on its own when you're not using the app",
              "pending: 1.4.2", kRetried, "will terminate"},
             {kBackground}),
    installs("PausedVersionStillInstallsWhenAsked",
             {"--set", "KTUpdateSwapFailVersion=1.4.2", "--set", "KTUpdateSwapFailCount=3", "--interactive",
              "--confirm", "yes"},
             {kDownloading, kAsk, kInstalling, "will terminate"}, {"open <app>"}),
    installs("NameThatSpellsCommandsRunsNothing", {}, {kDownloading, kInstalling, "will terminate"},
             {kBackground}, [](auto& t) { t.install(kOdd); }),
    installs("ButtonWithItsStagingGoneChecksAgain",
             {"--interactive", "--confirm", "no", "--then", "remove-staging,install-now"},
             kHeld + QStringList{"step: remove-staging", "step: install-now"} + kHeld + kQuit, {}, {},
             {kSwapping, kInstalled, "done"}, kGone),
    {"FailedCopyRestoresTheInstalledBundle",
     {},
     [](auto& t) { t.failCopies(); },
     {kDownloading, kInstalling, "will terminate"},
     {kSwapping, kFailed, "done; relaunch requested"},
     "1.4.1",
     {kBackground}},
    stays(
        "NewerBuildAlreadyOnDisk", {"--launched-from", "<launched>"},
        {"status: checked <time> \u00b7 a newer build is installed (v1.4.2); relaunch to use it"},
        [](auto& t) { makeBundle(t.app, "1.4.2", 57); }, {}, "1.4.2"),
    stays(
        "FeedUnreachable", {"--interactive"},
        {"status: checked <time> \u00b7 feed unreachable",
         "alert: Couldn't reach the update feed | No update was applied. <feed> may be unreachable from this "
         "network; the app keeps working as-is."},
        [](auto& t) { t.server.answer("/lark-spur/appcast.json", {404}); }),
    stays("AheadOfTheFeed", {"--interactive"},
          {"status: checked <time> \u00b7 build 56 is newer than the published build 55",
           "alert: This Mac is ahead of the update feed | This Mac runs build 56. "
           "The newest published build is 55, published Mar 1, 9:30am, "
           "so other Macs will not see build 56 until it is published."},
          offering({{"pubdate", "2026-03-01T09:30:00Z"}}, "1.4.1", 55)),
    stays("UpToDate", {"--interactive"},
          {"status: checked <time> \u00b7 up to date \u00b7 build 56 is the newest published",
           "alert: You're up to date | Build 56 (v1.4.1) is the newest published build."},
          offering({}, "1.4.1", 56)),
    stays("SystemTooOld", {"--interactive", "--macos", "15.0"},
          {"status: checked <time> \u00b7 v1.4.2 needs macOS 99",
           "alert: Update needs a newer macOS | v1.4.2 requires macOS 99."},
          offering({{"min_macos", "99"}})),
    stays("LinuxRunsNoMacOS", {}, {"status: checked <time> \u00b7 v1.4.2 needs macOS 26"},
          offering({{"min_macos", "26"}})),
    stays("AutomaticDownloadOff", {"--set", "KTUpdateAutoDownload=false"},
          {"status: checked <time> \u00b7 v1.4.2 available", "pending: 1.4.2"}),
    stays("ShellThatDidNotStartIsReportedAndTheAppStays",
          {"--shell-fails", "--interactive", "--confirm", "no", "--then", "install-now,install-now"},
          kHeld + QStringList{"step: install-now", "status: v1.4.2 failed: Permission denied",
                              "alert: Update failed | Permission denied", "step: install-now",
                              "status: v1.4.2 failed: " + kNoShell, "alert: Update failed | " + kNoShell}),
    stays("QuitWithItsStagingGoneInstallsNothing",
          {"--interactive", "--confirm", "no", "--then", "remove-staging"},
          kHeld + QStringList{"step: remove-staging"}, {}, kGone),
    refused("BadDigest", offering({{"sha256", QString(64, '0')}}),
            "sha256 mismatch (got <sha>\u2026, manifest 000000000000\u2026)"),
    refused(
        "OtherApp", [](auto& t) { t.publish("1.4.2", 57, kName, "com.example.other"); },
        "different app in the feed (com.example.other is not com.quillory.rowkeeper); keeping this one"),
};

class UpdateRun : public UpdateEndToEnd, public ::testing::WithParamInterface<Case> {};

TEST_P(UpdateRun, EndsAsExpected) {
    const Case& c = GetParam();
    if (c.before)
        c.before(*this);
    const Run run = drive(c.args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, c.said);
    if (!c.shim.isEmpty())
        shimSaid(c.shim.constLast(), int(c.shim.count(c.shim.constLast())));
    EXPECT_EQ(logged("shim"), c.shim);
    EXPECT_EQ(versionOf(app), c.version);
    EXPECT_TRUE(complete(app));
    EXPECT_EQ(opened(), c.opened);
    EXPECT_TRUE(c.logged.isEmpty() || logged("app").contains(c.logged))
        << logged("app").join('\n').toStdString();
    for (const char* leftover : {".old", ".swaplock", ".discard"})
        EXPECT_FALSE(QFileInfo::exists(app + leftover)) << leftover;
    QDirIterator files(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        EXPECT_FALSE(files.next().contains("/ran-")) << "a name in a path was run";
}

INSTANTIATE_TEST_SUITE_P(Installs, UpdateRun, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Swaps that meet what another swap left, or that must not happen ----

TEST_F(UpdateEndToEnd, ThreeSwapsThatDidNotTakePauseThatVersionOnly) {
    failCopies();
    for (int i = 1; i <= 3; ++i) {
        drive({});
        ASSERT_TRUE(shimSaid("done", i));
    }
    EXPECT_EQ(
        drive({}).lines,
        QStringList(
            {"status: v1.4.2 could not be installed after 3 attempts. Automatic retries are paused",
             "status: checked <time> \u00b7 v1.4.2 could not be installed. Automatic retries are paused"}) +
            kQuit);
    EXPECT_EQ(logged("app").filter("did not take"),
              QStringList({"swap to v1.4.2 did not take (attempt 1 of 3); still running v1.4.1",
                           "swap to v1.4.2 did not take (attempt 2 of 3); still running v1.4.1",
                           "swap to v1.4.2 did not take (attempt 3 of 3); still running v1.4.1"}));
    root.remove("/.fake-tools/copy");
    publish("1.4.3", 58);
    drive({});
    ASSERT_TRUE(shimSaid("done", 4));
    EXPECT_EQ(versionOf(app), "1.4.3");
}

// A stale lock is taken over by the leftovers' and the two scripts' tests below.
TEST_F(UpdateEndToEnd, LiveLockStandsDown) {
    QDir().mkdir(app + ".swaplock");
    drive({});
    ASSERT_TRUE(shimSaid("another swap"));
    EXPECT_EQ(logged("shim"), QStringList{"another swap already holds the lock; standing down without "
                                          "touching the bundle or the staging"});
    EXPECT_EQ(versionOf(app), "1.4.1");
    EXPECT_TRUE(complete(staging() + "/Rowkeeper.app")) << "the lock's holder may still copy from it";
}

TEST_F(UpdateEndToEnd, RedundantAndDowngradingSwapsStandDown) {
    drive({"--target-pid", QString::number(sleep())});
    QDir(staging()).removeRecursively();  // as another script does once it has installed this build
    QDir().mkdir(app + ".old");
    wake();
    ASSERT_TRUE(shimSaid("done"));
    drive({"--target-pid", QString::number(sleep())});
    makeBundle(app, "1.4.1", 120);
    wake();
    ASSERT_TRUE(shimSaid("done", 2));
    EXPECT_EQ(logged("shim"),
              QStringList({kNotABundle,
                           "staging is gone: another shim already installed this build. Standing down.",
                           "done; relaunch requested",
                           "installed build 120 is already at or ahead of staged 57. Standing down.",
                           "done; relaunch requested"}));
    EXPECT_EQ(versionOf(app), "1.4.1");
    EXPECT_TRUE(complete(staging() + "/Rowkeeper.app")) << "a script that stands down leaves the staging";
    EXPECT_EQ(opened(), QStringList({kBackground, kBackground}));
}

TEST_F(UpdateEndToEnd, AppThatNeverQuitsAbandonsTheSwap) {
    const qint64 pid = sleep();
    drive({"--target-pid", QString::number(pid), "--wait-polls", "10"});
    ASSERT_TRUE(shimSaid("pid"));
    EXPECT_EQ(logged("shim"),
              QStringList{"pid <pid> still alive after 3s; swap abandoned, staged copy removed"});
    // The script logs before it removes the staging.
    EXPECT_TRUE(waitFor([&] { return !QFileInfo::exists(staging()); }));
    EXPECT_EQ(versionOf(app), "1.4.1");
    EXPECT_TRUE(opened().isEmpty());
}

// What stands at ".old" without a swap having left it, beside a complete
// bundle and a ".discard" of someone else's: set aside, whether the copy
// succeeds or fails, and nothing else is touched. Then what a swap killed
// mid-copy leaves, its copy holding an Info.plist already: restored. Last,
// a dead swap's lock marking another folder than the ".old" there, and one
// marking an ".old" that holds only its Info.plist: neither is restored.
class Leftover : public UpdateEndToEnd, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(Leftover, IsRestoredOnlyOverAnUnfinishedCopy) {
    const auto [kind, fails] = GetParam();
    const QString old = app + ".old", elsewhere = dir.filePath("elsewhere");
    for (const QString& folder :
         QStringList{app + ".discard", elsewhere} + (kind == 0 ? QStringList{old} : QStringList{}))
        QDir().mkpath(folder), QFile(folder + "/README").open(QIODevice::WriteOnly);
    if (kind == 1)
        QFile(old).open(QIODevice::WriteOnly);
    if (kind == 2)
        QFile::link(elsewhere, old);
    if (kind >= 3 && kind <= 5)
        makeBundle(old, kind == 4 ? "1.4.1" : "1.3.0", 56);
    if (kind == 6) {
        QDir().mkpath(old + "/Contents");
        QFile::copy(app + "/Contents/Info.plist", old + "/Contents/Info.plist");
    }
    if (kind == 4)
        QFile::remove(app + "/Contents/MacOS/Rowkeeper");
    if (kind >= 4)
        strandedLock(identity(kind == 5 ? elsewhere : old));
    if (fails)
        failCopies();
    drive({});
    ASSERT_TRUE(shimSaid("done"));
    const QString stray =
        "deleting a leftover <app>.old: no unfinished swap left it, and the installed bundle is complete";
    const QString stale = "swaplock is stale (older than 5 min); taking it over";
    const QStringList first[] = {
        {kNotABundle},
        {kNotABundle},
        {kNotABundle},
        {stray},
        {stale, "an earlier swap stopped before its copy was confirmed; restoring <app> from .old"},
        {stale, stray},
        {stale, kNotABundle}};
    const QStringList then{kSwapping, fails ? kFailed : kInstalled, "done; relaunch requested"};
    EXPECT_EQ(logged("shim"), first[kind] + then);
    EXPECT_EQ(versionOf(app), fails ? "1.4.1" : "1.4.2");
    EXPECT_TRUE(complete(app));
    EXPECT_FALSE(QFileInfo::exists(old) || QFileInfo(old).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(app + ".discard/README") && QFileInfo::exists(elsewhere + "/README"));
}

const char* const kLeftovers[] = {
    "EmptyFolder", "File", "LinkToAFolder", "OlderBundle", "KilledCopy", "OtherFoldersMark", "OnlyInfoPlist"};
INSTANTIATE_TEST_SUITE_P(Old, Leftover, ::testing::Combine(::testing::Range(0, 7), ::testing::Bool()),
                         [](const auto& info) {
                             return kLeftovers[std::get<0>(info.param)] +
                                    std::string(std::get<1>(info.param) ? "CopyFails" : "CopyWorks");
                         });

TEST_F(UpdateEndToEnd, TwoScriptsOnAStaleLockSwapOnce) {
    tools.installStandIn(MacTool::ditto);
    watching();
    for (int round = 1; round <= 20; ++round) {
        QDir().mkdir(app + ".swaplock");
        age(app + ".swaplock");
        const QString script =
            KTUpdate::swapScriptText(swapFrom(stageBuild(QString("1.5.%1").arg(round), 57 + round)));
        QProcess::execute("/bin/sh", {"-c", "/bin/sh -c \"$0\" & /bin/sh -c \"$0\"; wait", script});
        ASSERT_EQ(logged("shim").count(kSwapping), round);
        EXPECT_EQ(versionOf(app), QString("1.5.%1").arg(round));
    }
    EXPECT_TRUE(complete(app));
    EXPECT_FALSE(QFileInfo::exists(app + ".old") || QFileInfo::exists(app + ".swaplock"));
}

// ---- One script run straight, for an app that has quit already ----

using Tweak = std::function<void(UpdateEndToEnd&, KTUpdate::SwapScript&)>;

struct Straight {
    const char* name;
    Tweak before;  // what the machine and the script are like first
    QStringList shim;
    QString version;    // installed afterwards
    Tweak during = {};  // when set, done while the script's copy waits
};

void PrintTo(const Straight& c, std::ostream* os) {
    *os << c.name;
}

const QString kTakenOver = "swaplock is stale (the swap that held it has ended); taking it over";
const QString kHeldLock =
    "another swap already holds the lock; standing down without touching the bundle or the staging";
const QString kHeldByOwner = kHeldLock + " (owner pid <pid>)";
const QString kHeldByGroup = kHeldLock + " (owner pid <pid>, process group <group>)";
const QString kNotWhole =
    "the staged bundle is not complete: another shim may have stopped while deleting it. Standing down.";
const QStringList kTookOver{kTakenOver, kSwapping, kInstalled, "done"};
const QStringList kTookOverAged{"swaplock is stale (older than 5 min); taking it over", kSwapping, kInstalled,
                                "done"};
const Tweak kAsIs = [](auto&, auto&) {};
const Tweak kNoExecutable = [](auto&, auto& swap) {
    QFile::remove(swap.staged + "/Contents/MacOS/Rowkeeper");
};
// A FIFO at `name` in a dead swap's lock, and a link to another at `linked`.
Tweak pipesAt(const QString& name, const QString& linked) {
    return [=](UpdateEndToEnd& t, auto&) {
        t.strandedWith(name, [](const QString& path) { test::plant(test::FileShape::pipe, path); });
        const QString elsewhere = t.dir.filePath("fifo");
        test::plant(test::FileShape::pipe, elsewhere);
        t.strandedWith(linked, [&](const QString& path) { QFile::link(elsewhere, path); });
    };
}

const Straight kStraight[] = {
    {"LockOfAnEndedSwapIsTakenOver",
     [](auto& t, auto&) {
         const qint64 pid = t.sleep();
         const QString start = startOf(pid);
         t.wake();
         t.lockedBy(pid, start);
     },
     kTookOver, "1.4.2"},
    {"LockOfAReusedProcessIdIsTakenOver",
     [](auto& t, auto&) { t.lockedBy(QCoreApplication::applicationPid(), "Thu Jan 1 00:00:00 1970"); },
     kTookOver, "1.4.2"},
    {"AgedLockOfALiveSwapHolds",
     [](auto& t, auto&) {
         t.lockedBy(QCoreApplication::applicationPid(), startOf(QCoreApplication::applicationPid()));
         UpdateEndToEnd::age(t.app + ".swaplock");
     },
     {kHeldByOwner},
     "1.4.1"},
    // ps cannot tell when the owner started, but the owner is there.
    {"OwnerWhoseStartCannotBeReadHoldsWhileItLives",
     [](auto& t, auto& swap) {
         const qint64 pid = QCoreApplication::applicationPid();
         t.lockedBy(pid, startOf(pid));
         swap.processStatus = t.lister("[ \"$4\" = " + QString::number(pid) + " ] && exit 1\n");
     },
     {kHeldByOwner},
     "1.4.1"},
    {"RecordWithoutAStartTimeCountsAsNone",
     [](auto& t, auto&) {
         t.lockedBy(t.gone, "");
         UpdateEndToEnd::age(t.app + ".swaplock");
     },
     kTookOverAged, "1.4.2"},
    {"HugeRecordsInAStaleLockAreReadInPart",
     [](auto& t, auto&) {
         for (const char* name : {"owner", "copying"})
             t.strandedWith(name, [](const QString& path) {
                 test::plant(test::FileShape::holes, path, qint64(1) << 36);
             });
     },
     kTookOverAged, "1.4.2"},
    {"FifoAtTheOwnerAndLinkToOneAtTheMarkAreNotRead", pipesAt("owner", "copying"), kTookOverAged, "1.4.2"},
    {"LinkToAFifoAtTheOwnerAndFifoAtTheMarkAreNotRead", pipesAt("copying", "owner"), kTookOverAged, "1.4.2"},
    {"FifoAtTheInstalledInfoPlistIsNotRead",
     [](auto& t, auto&) {
         QFile::remove(t.app + "/Contents/Info.plist");
         test::plant(test::FileShape::pipe, t.app + "/Contents/Info.plist");
         QMutexLocker lock(&t.watchedMutex);
         t.renamed = t.launched;  // the one complete copy until the swap
     },
     {kSwapping, kInstalled, "done"},
     "1.4.2"},
    {"FifoLeftAtTheMarksNewNameIsNotOpened",
     [](auto& t, auto&) {
         t.strandedWith("copying.new", [](const QString& path) { test::plant(test::FileShape::pipe, path); });
     },
     kTookOverAged, "1.4.2"},
    {"LinkLeftAtTheMarksNewNameIsNotWrittenThrough",
     [](auto& t, auto& swap) {
         t.strandedWith("copying.new", [&](const QString& path) {
             QFile::link(swap.staged + "/Contents/Info.plist", path);
         });
     },
     kTookOverAged, "1.4.2"},
    {"StagedBundleWithoutItsExecutableIsNotInstalled", kNoExecutable, {kNotWhole, "done"}, "1.4.1"},
    {"StagedExecutableThatMayNotRunIsNotInstalled",
     [](auto&, auto& swap) {
         QFile::setPermissions(swap.staged + "/Contents/MacOS/Rowkeeper",
                               QFile::ReadOwner | QFile::WriteOwner);
     },
     {kNotWhole, "done"},
     "1.4.1"},
    {"ExecutableNamedOutOfItsFolderIsNotInstalled",
     [](auto&, auto& swap) {
         const QString info = swap.staged + "/Contents/Info.plist";
         const QByteArray name = "<key>CFBundleExecutable</key><string>";
         test::writeFileAt(info, test::readFileAt(info).replace(name + "Rowkeeper", name + "../Info.plist"),
                           true);
         QFile::remove(swap.staged + "/Contents/MacOS/Rowkeeper");
     },
     {kNotWhole, "done"},
     "1.4.1"},
    {"NoPropertyListToolNoSwap",
     [](auto& t, auto&) { t.root.remove(SystemPaths::toolLocation(MacTool::plistBuddy)); },
     {"cannot tell a complete bundle without <root>/usr/libexec/PlistBuddy; standing down"},
     "1.4.1"},
    {"AbandonedSwapLeavesTheStagingToTheLocksHolder",
     [](auto& t, auto& swap) {
         QDir().mkdir(t.app + ".swaplock");
         std::tie(swap.pid, swap.waitPolls) = std::tuple(t.sleep(), 1);
     },
     {"pid <pid> still alive after 0.3s; swap abandoned, staged copy kept: another swap holds the lock"},
     "1.4.1"},
    // However old its lock looks, a swap still copying keeps it.
    {"SecondScriptOnTheAgedLockOfACopyStandsDown",
     kAsIs,
     {kSwapping, kHeldByGroup, kInstalled, "done"},
     "1.4.2",
     [](auto& t, auto& swap) {
         UpdateEndToEnd::age(t.app + ".swaplock");
         EXPECT_TRUE(UpdateEndToEnd::runs(swap));
     }},
    // The copy then fails, its ".old" gone back in place: the bundle stays.
    {"FailedCopyWithoutItsOldLeavesTheBundle",
     kAsIs,
     {kSwapping, kFailed, "no .old of this swap to move back; leaving <app> as it is", "done"},
     "1.4.1",
     [](auto& t, auto&) {
         QFile::rename(t.app + ".old", t.app);
         t.failCopies();
     }},
    // The copy then "succeeds" without an executable: never kept.
    {"CopyWithoutTheExecutableIsUndone",
     kAsIs,
     {kSwapping, "the copy at <app> is not complete; restoring the previous bundle", "done"},
     "1.4.1",
     kNoExecutable},
};

class StraightRun : public UpdateEndToEnd, public ::testing::WithParamInterface<Straight> {};

TEST_P(StraightRun, EndsAsExpected) {
    const Straight& c = GetParam();
    KTUpdate::SwapScript swap = swapFrom(stageBuild("1.4.2", 57));
    c.before(*this, swap);
    watching();
    if (c.during) {
        holdNextCopy();
        QProcess first;
        first.start("/bin/sh", {"-c", KTUpdate::swapScriptText(swap)});
        ASSERT_TRUE(copyHeld());
        c.during(*this, swap);
        releaseCopy();
        ASSERT_TRUE(first.waitForFinished(60'000));
    } else {
        ASSERT_TRUE(runs(swap));
    }
    EXPECT_EQ(logged("shim"), c.shim);
    EXPECT_EQ(versionOf(app), c.version);
    EXPECT_TRUE(complete(app));
    EXPECT_FALSE(QFileInfo::exists(app + ".old"));
}

INSTANTIATE_TEST_SUITE_P(Script, StraightRun, ::testing::ValuesIn(kStraight),
                         [](const auto& info) { return std::string(info.param.name); });

// A script held up once it found the lock stale (here in ps), while a
// second one swaps and a third takes the lock again and copies, must not
// enter that live lock: it stands down, and the third swap lands whole.
TEST_F(UpdateEndToEnd, ScriptHeldUpOnAStaleLockLeavesTheNextSwapAlone) {
    KTUpdate::SwapScript late = swapFrom(stageBuild("1.4.2", 57));
    const qint64 ended = sleep();
    const QString start = startOf(ended), hold = dir.filePath("ps-hold");
    wake();
    lockedBy(ended, start);
    late.processStatus = lister(waitsWhenHeld("[ \"$4\" = " + QString::number(ended) + " ]", hold));
    test::writeFileAt(hold, {});
    watching();
    QProcess first, third;
    first.start("/bin/sh", {"-c", KTUpdate::swapScriptText(late)});
    ASSERT_TRUE(heldAt(hold));
    ASSERT_TRUE(runs(swapFrom(stageBuild("1.4.3", 58))));
    holdNextCopy();
    third.start("/bin/sh", {"-c", KTUpdate::swapScriptText(swapFrom(stageBuild("1.4.4", 59)))});
    ASSERT_TRUE(copyHeld());
    letGo(hold);
    ASSERT_TRUE(first.waitForFinished(60'000));
    releaseCopy();
    ASSERT_TRUE(third.waitForFinished(60'000));
    EXPECT_EQ(logged("shim"),
              QStringList({kTakenOver, kSwapping, "installed <app> (build 58)", "done", kSwapping,
                           "the stale lock was released and taken again while this script looked at it; "
                           "standing down",
                           "installed <app> (build 59)", "done"}));
    EXPECT_EQ(versionOf(app), "1.4.4");
    EXPECT_TRUE(complete(app));
    EXPECT_FALSE(QFileInfo::exists(app + ".old") || QFileInfo::exists(app + ".swaplock"));
}

// A script killed while it deletes a staging of many files, then a second
// script for the same build: the lock is still held, and what is left of
// the staging is never installed.
TEST_F(UpdateEndToEnd, StagingCutShortInItsDeletionIsNeverInstalled) {
    const Adopting adopting;
    const KTUpdate::SwapScript swap = swapFrom(stageBuild("1.4.2", 57, 20000));
    watching();
    QProcess first;
    first.setChildProcessModifier([] { ::setsid(); });  // so that its rm dies with it
    first.start("/bin/sh", {"-c", KTUpdate::swapScriptText(swap)});
    ASSERT_TRUE(first.waitForStarted());
    const pid_t group = pid_t(first.processId());
    // Killed at the first entry deleted anywhere in the bundle.
    const auto stamps = [&] {
        QList<QDateTime> times;
        for (const char* folder : {"", "/MacOS", "/Resources", "/Resources/many"})
            times << QFileInfo(swap.staged + "/Contents" + folder).lastModified();
        return times;
    };
    const QList<QDateTime> untouched = stamps();
    QElapsedTimer waited;
    waited.start();
    while (stamps() == untouched && waited.elapsed() < 60'000)
        QThread::usleep(200);
    ::kill(-group, SIGKILL);
    first.waitForFinished();
    ASSERT_TRUE(groupEnded(group));
    ASSERT_TRUE(QFileInfo::exists(swap.staged)) << "the kill came after the deletion";
    ASSERT_TRUE(runs(swap));
    EXPECT_EQ(logged("shim"), QStringList({kSwapping, kInstalled, kTakenOver, kNotWhole, "done"}));
    EXPECT_EQ(versionOf(app), "1.4.2");
    EXPECT_TRUE(complete(app));
}

// A script started as the app starts it, whose shell alone is killed while
// its copy runs, holds the lock until that copy ends: a second script
// stands down rather than restore ".old" and copy beside it, and the next
// one, once the copy has ended, restores the bundle and swaps.
TEST_F(UpdateEndToEnd, CopyOfAShellKilledAloneKeepsTheLock) {
    const Adopting adopting;
    const KTUpdate::SwapScript first = swapFrom(stageBuild("1.4.2", 57)),
                               next = swapFrom(stageBuild("1.4.3", 58));
    watching();
    holdNextCopy();
    const auto shell = HostMachine().startDetached("/bin/sh", {"-c", KTUpdate::swapScriptText(first)});
    ASSERT_TRUE(shell);
    const pid_t pid = pid_t(*shell), group = ::getpgid(pid);
    ASSERT_TRUE(copyHeld());
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_TRUE(runs(next));
    releaseCopy();
    ASSERT_TRUE(groupEnded(group));
    ASSERT_TRUE(runs(next));
    EXPECT_EQ(logged("shim"),
              QStringList({kSwapping, kHeldByGroup, kTakenOver,
                           "an earlier swap stopped before its copy was confirmed; restoring <app> from .old",
                           kSwapping, "installed <app> (build 58)", "done"}));
    EXPECT_TRUE(test::readFileAt(log).contains(
        QString("(owner pid %1, process group %2)").arg(pid).arg(group).toUtf8()));
    EXPECT_EQ(versionOf(app), "1.4.3");
    EXPECT_TRUE(complete(app));
    EXPECT_FALSE(QFileInfo::exists(app + ".old") || QFileInfo::exists(app + ".swaplock"));
}

// A FIFO at the log never blocks the swap, and a link there, or a second
// name of another file, writes nothing into that file.
TEST_F(UpdateEndToEnd, LogThatIsNoPlainFileIsLeftAlone) {
    const QString elsewhere = dir.filePath("elsewhere.log");
    test::writeFileAt(elsewhere, "kept\n");
    watching();
    ASSERT_TRUE(test::plant(test::FileShape::pipe, log));
    EXPECT_TRUE(runs(swapFrom(stageBuild("1.4.2", 57)))) << "the script blocked on the log";
    EXPECT_EQ(versionOf(app), "1.4.2");
    QFile::remove(log);
    QFile::link(elsewhere, log);
    EXPECT_TRUE(runs(swapFrom(stageBuild("1.4.3", 58))));
    EXPECT_EQ(versionOf(app), "1.4.3");
    QFile::remove(log);
    ASSERT_EQ(::link(QFile::encodeName(elsewhere).constData(), QFile::encodeName(log).constData()), 0);
    EXPECT_TRUE(runs(swapFrom(stageBuild("1.4.4", 59))));
    EXPECT_EQ(versionOf(app), "1.4.4");
    EXPECT_EQ(test::readFileAt(elsewhere), "kept\n");
    EXPECT_TRUE(complete(app));
}

// The stand-in unpacks a stored zip of a complete bundle, with what `make`
// adds and `from` in its bytes made `to`; what it refuses writes nothing.
TEST_F(UpdateEndToEnd, StandInRefusesArchivesThatLeaveTheFolderOrOverflow) {
    const QString dots = "mkdir -p " + kName + "/#.. && : > " + kName + "/#../evil";
    const QByteArray payload = QByteArray::fromHex("0000010000000100");      // its stored and stated size
    const QByteArray end = QByteArray::fromHex("504b05060000000008000800");  // 8 entries
    const std::tuple<QString, QByteArray, QByteArray, QString> rows[] = {
        {":", "", "", ""},
        {dots, "#..", "\x01..", "a control character in a name"},
        {dots, "#..", "\n..", "a control character in a name"},
        {": > '#evil'", "#evil", "/evil", "an absolute name"},
        {"ln -s ../../.. " + kName + "/Contents/Out", "", "", "a \"..\" part in a link"},
        {":", payload, payload.left(4) + "\xff\xff\xff\x7f", "more than 1073741824 bytes unpacked"},
        {":", payload, payload.left(4) + QByteArray("\x0a\0\0\0", 4), "unpacks to more than the"},
        {":", end, end.left(8) + "\x60\xea\x60\xea", "holds 60000 entries, more than 50000"},
        {"for i in $(seq 1001); do ln -s ../Info.plist " + kName + "/Contents/Resources/l$i; done", "", "",
         "more than 1000 links"},
    };
    for (const auto& [make, from, to, refusal] : rows) {
        QTemporaryDir pack;
        makeBundle(pack.filePath(kName), "1.4.2", 57);
        const QByteArray zip = zipped(pack.path(), make, "-0");
        const QString file =
            root.writeFile("/b.zip", from.isEmpty() ? zip : QByteArray(zip).replace(from, to));
        QProcess ditto;
        ditto.start(root.paths().tool(MacTool::ditto), {"-x", "-k", file, pack.filePath("into")});
        ditto.waitForFinished();
        const std::string said = make.toStdString() + ": " + ditto.readAllStandardError().toStdString();
        EXPECT_EQ(ditto.exitCode(), refusal.isEmpty() ? 0 : 1) << said;
        EXPECT_NE(said.find(refusal.toStdString()), std::string::npos) << said;
        EXPECT_EQ(complete(pack.filePath("into/") + kName), refusal.isEmpty()) << said;
        EXPECT_EQ(QDir(pack.filePath("into")).isEmpty(), !refusal.isEmpty()) << said;
    }
}

TEST_F(UpdateEndToEnd, RenamedUpdateNeverReplacesWhatItDidNotMake) {
    const QString pro = home + "/Applications/Rowkeeper Pro.app";
    publish("1.4.2", 57, "Rowkeeper Pro.app");
    makeBundle(pro, "9.9", 1);
    EXPECT_EQ(drive({}).lines,
              QStringList({kDownloading, kInstalling,
                           "status: checked <time> \u00b7 v1.4.2 failed: " + pro +
                               " is already there, so the renamed update would replace something "
                               "it did not make; keeping this copy"}) +
                  kQuit);
    QDir(pro).removeRecursively();
    drive({"--target-pid", QString::number(sleep())});
    makeBundle(pro, "9.9", 1);  // taken while the script waits
    wake();
    ASSERT_TRUE(shimSaid("done"));
    EXPECT_EQ(versionOf(pro), "9.9");
    QDir(pro).removeRecursively();
    {
        QMutexLocker lock(&watchedMutex);
        renamed = pro;
    }
    drive({});
    ASSERT_TRUE(shimSaid("done", 2));
    EXPECT_EQ(logged("shim"),
              QStringList({pro + " is already there and is not this update's; keeping <app>. Standing down.",
                           "done; relaunch requested", kSwapping, "installed " + pro + " (build 57)",
                           "done; relaunch requested"}));
    EXPECT_FALSE(QFileInfo::exists(app));
    EXPECT_EQ(versionOf(pro), "1.4.2");
    EXPECT_EQ(tools.calls().filter(QRegularExpression("^(open|lsregister) ")),
              QStringList({"open -g --env KT_BACKGROUND_LAUNCH=1 " + app, "lsregister -u " + app,
                           "lsregister -f " + pro, "open -g --env KT_BACKGROUND_LAUNCH=1 " + pro}));
}

}  // namespace
}  // namespace rk
