// The host's answers: the one tool runner, the file probe, the bounded file
// read, the output folder, volumes and the workspace where the Mac's
// facilities are; and what the desktop asks of the drawing (dark or light,
// reduced motion, the generic icons).

#include "platform/Machine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPalette>
#include <QSettings>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <optional>

#include "platform/Appearance.h"
#include "platform/FileProbe.h"
#include "platform/FileViewer.h"
#include "platform/IconArt.h"
#include "platform/MotionPreference.h"
#include "platform/OutputFolder.h"
#include "platform/Volumes.h"
#include "platform/Workspace.h"
#include "support/FileShapes.h"
#include "support/Printers.h"

namespace rk {
namespace {

using namespace std::chrono_literals;

// On mid-grey grounds the text says which scheme the grey belongs to.
// Without a GUI application the scheme is light.
TEST(Appearance, AWindowDarkerThanItsTextIsDark) {
    const struct {
        QColor window;
        QColor text;
        bool dark;
    } cases[] = {
        {QColor(0xF7, 0xF6, 0xF2), QColor(0x1D, 0x1D, 0x1F), false},
        {QColor(0x1C, 0x1C, 0x1E), QColor(0xF2, 0xF2, 0xF7), true},
        {QColor(0x90, 0x90, 0x90), Qt::white, true},
        {QColor(0x70, 0x70, 0x70), Qt::black, false},
    };
    for (const auto& c : cases) {
        QPalette palette;
        palette.setColor(QPalette::Window, c.window);
        palette.setColor(QPalette::WindowText, c.text);
        EXPECT_EQ(Appearance::isDark(palette), c.dark) << c.window.name().toStdString();
    }
    EXPECT_FALSE(Appearance::systemIsDark());
}

// The environment's word beats the user default; an unknown word leaves the default in charge.
TEST(MotionPreference, TheEnvironmentBeatsTheUserDefault) {
    const std::pair<const char*, std::optional<bool>> words[] = {
        {"1", true},      {"TRUE", true}, {" yes ", true}, {"on", true},       {"0", false},
        {"false", false}, {"No", false},  {"off", false},  {"", std::nullopt}, {"maybe", std::nullopt},
    };
    for (const auto& [word, expected] : words)
        EXPECT_EQ(HostMotionPreference::parseSwitch(word), expected) << word;
    QTemporaryDir defaults;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, defaults.path());
    HostMotionPreference host;
    qunsetenv("ROWKEEPER_REDUCE_MOTION");
    EXPECT_FALSE(host.reduceMotion()) << "off when nobody asked";
    QSettings().setValue("reduceMotion", true);
    EXPECT_TRUE(host.reduceMotion());
    qputenv("ROWKEEPER_REDUCE_MOTION", "off");
    EXPECT_FALSE(host.reduceMotion());
    qputenv("ROWKEEPER_REDUCE_MOTION", "whatever");
    EXPECT_TRUE(host.reduceMotion());
    qunsetenv("ROWKEEPER_REDUCE_MOTION");
}

// Both icons fill the square over the appearance background, without
// colour (the blank-icon test compares grey); the document is a white page.
// No side, no image.
TEST(IconArt, ColourlessOverTheAppearanceBackground) {
    const auto spread = [](QRgb p) {
        return std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
    };
    for (GenericIcon icon : {GenericIcon::document, GenericIcon::application}) {
        for (bool dark : {false, true}) {
            const QImage image = IconArt::render(icon, 64, dark);
            ASSERT_EQ(image.size(), QSize(64, 64));
            const int background = dark ? 43 : 245;
            EXPECT_EQ(image.pixel(0, 0), qRgb(background, background, background)) << dark;
            for (int y = 0; y < 64; y += 3) {
                for (int x = 0; x < 64; x += 3)
                    EXPECT_LE(spread(image.pixel(x, y)), 12) << x << "," << y;
            }
            EXPECT_TRUE(IconArt::render(icon, dark ? 0 : -5, dark).isNull());
        }
    }
    EXPECT_GT(qGray(IconArt::render(GenericIcon::document, 64, true).pixel(28, 40)), 230);
    EXPECT_LT(qGray(IconArt::render(GenericIcon::application, 64, false).pixel(12, 32)), 200);
}

const QByteArray kFlood = "head -c 1000000 /dev/zero | tr '\\0' x >&2; ";

// Both channels and the exit status. A tool that fills the error pipe
// before it writes its answer only ends when someone reads that pipe while
// it runs; one that hangs is killed at the limit.
TEST(Machine, RunCollectsBothChannelsAndStopsAtTheLimit) {
    const struct {
        const char* program;
        QByteArray script;
        ToolRun::Outcome outcome;
        int exitCode;
        QByteArray out;
        qsizetype errSize;
    } cases[] = {
        {"/bin/sh", "printf out; printf err >&2; exit 3", ToolRun::Outcome::finished, 3, "out", 3},
        {"/bin/sh", kFlood + "printf done", ToolRun::Outcome::finished, 0, "done", 1000000},
        {"/bin/sh", "printf partial; exec sleep 30", ToolRun::Outcome::timedOut, -1, {}, 0},
        {"/nonexistent/tool", "", ToolRun::Outcome::notStarted, -1, "", 0},
    };
    for (const auto& c : cases) {
        QElapsedTimer elapsed;
        elapsed.start();
        const auto limit = c.outcome == ToolRun::Outcome::timedOut ? 300ms : 20s;
        const ToolRun run = HostMachine().run(c.program, {"-c", c.script}, limit);
        EXPECT_EQ(run.outcome, c.outcome) << c.script.toStdString();
        EXPECT_LT(elapsed.elapsed(), 10'000) << "nowhere near the 30 seconds";
        if (c.outcome != ToolRun::Outcome::timedOut) {
            EXPECT_EQ(run.exitCode, c.exitCode) << c.script.toStdString();
            EXPECT_EQ(run.out, c.out) << c.script.toStdString();
            EXPECT_EQ(run.err.size(), c.errSize) << c.script.toStdString();
        }
    }
}

// One pipe keeps the order the tool wrote in, and a flood does not stall it.
TEST(Machine, MergedRunKeepsBothChannelsInOrder) {
    const ToolResult run = HostMachine().runMerged(
        "/bin/sh", {"-c", "printf a; printf b >&2; printf c; " + kFlood + "exit 3"}, 20s);
    EXPECT_EQ(run.status, 3);
    EXPECT_FALSE(run.ok());
    EXPECT_EQ(run.out.left(4), "abcx");
    EXPECT_EQ(run.out.size(), 1000003);
    const ToolResult missing = HostMachine().runMerged("/nonexistent/tool", {}, 2s);
    EXPECT_EQ(missing.status, -1);
    EXPECT_FALSE(missing.out.isEmpty());
    const ToolResult latin1 = HostMachine().runMerged("/bin/sh", {"-c", "printf 'caf\\351'"}, 5s);
    EXPECT_EQ(latin1, (ToolResult{.status = 0, .out = ""}));
}

// At the limit the tool is asked to stop; one that ignores that is killed,
// and a descendant still holding the pipe is not waited for.
TEST(Machine, MergedRunStopsAToolAtTheLimit) {
    const std::pair<const char*, int> cases[] = {{"printf partial; exec sleep 30", SIGTERM},
                                                 {"trap '' TERM; printf partial; exec sleep 30", SIGKILL},
                                                 {"sleep 20 & printf partial; exec sleep 30", SIGTERM}};
    for (const auto& [script, status] : cases) {
        QElapsedTimer elapsed;
        elapsed.start();
        const ToolResult run = HostMachine().runMerged("/bin/sh", {"-c", script}, 1s);
        EXPECT_EQ(run, (ToolResult{.status = status, .out = "partial", .timedOut = true})) << script;
        EXPECT_LT(elapsed.elapsed(), 10'000) << script;
    }
}

TEST(HostFileProbe, AnswersWithTheErrno) {
    QTemporaryDir dir;
    QFile(dir.filePath("present")).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir("folder");
    HostFileProbe probe;
    EXPECT_EQ(probe.openForReading(dir.filePath("present")), 0);
    EXPECT_EQ(probe.openForReading(dir.filePath("absent")), ENOENT);
    QStringList names = probe.listFolder(dir.path()).value();
    names.sort();
    EXPECT_EQ(names, QStringList({"folder", "present"}));  // no "." or ".."
    EXPECT_EQ(probe.listFolder(dir.filePath("absent")).error(), ENOENT);
    EXPECT_EQ(probe.listFolder(dir.filePath("present")).error(), ENOTDIR);
}

QString put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

QByteArray contents(const QString& path) {
    return readWholeFile(path, 1024).valueOr(QByteArray("(unread)"));
}

// A file of exactly the cap is read whole, one byte more is refused; nothing
// but a regular file is read or waited on, by the read or by the check alone.
TEST(BoundedRead, UpToTheCapAndOnlyRegularFiles) {
    QTemporaryDir dir;
    constexpr qint64 cap = 100;
    const std::pair<QString, int> cases[] = {
        {put(dir.filePath("at-cap"), QByteArray(cap, 'x')), 0},
        {put(dir.filePath("empty"), {}), 0},
        {put(dir.filePath("over"), QByteArray(cap + 1, 'x')), EFBIG},
        {dir.filePath("missing"), ENOENT},
        {dir.filePath("pipe"), EINVAL},
        {dir.filePath("zeros"), EINVAL},
        {dir.filePath("folder"), EINVAL},
    };
    for (const auto& [shape, name] : {std::pair(test::FileShape::pipe, "pipe"),
                                      {test::FileShape::linkToZeros, "zeros"},
                                      {test::FileShape::folder, "folder"}})
        ASSERT_TRUE(test::plant(shape, dir.filePath(name)));
    EXPECT_TRUE(test::finishesWithoutWaitingOn({dir.filePath("pipe")}, [&] {
        for (const auto& [path, error] : cases) {
            const auto read = readWholeFile(path, cap);
            EXPECT_EQ(read ? 0 : read.error(), error) << path.toStdString();
            EXPECT_EQ(read.valueOr(QByteArray()).size(), error ? 0 : QFileInfo(path).size());
            const auto checked = checkRegularFile(path, cap);
            EXPECT_EQ(checked ? 0 : checked.error(), error) << path.toStdString();
        }
    }));
}

// The program's own records are replaced whole, through a link only to a
// regular file in a folder of the runner's alone; what else stands there is
// refused and left as it is, a pipe never waited on.
TEST(WholeFileWrite, FollowsLinksOnlyToRegularFilesInOurOwnFolders) {
    QTemporaryDir dir;
    const QString shared = dir.filePath("shared");
    ASSERT_TRUE(QDir().mkdir(shared) && ::chmod(QFile::encodeName(shared).constData(), 0777) == 0);
    enum At { nothing, file, linkToFile, linkToPipe, linkIntoShared, loop, pipe, folder };
    const std::pair<At, QString> cases[] = {
        {nothing, ""},
        {file, ""},
        {linkToFile, ""},
        {linkToPipe, "it is no regular file"},
        {linkIntoShared, "it is a link into a folder others may write"},
        {loop, "too many links lead on from it"},
        {pipe, "it is no regular file"},
        {folder, "it is no regular file"},
    };
    QStringList pipes;
    for (const auto& [at, refusal] : cases) {
        const QString path = dir.filePath(QString("record-%1").arg(at)), beside = path + "-target";
        if (at == file || at == linkToFile)
            put(at == file ? path : beside, "old");
        ASSERT_TRUE((at != linkToPipe && at != pipe) ||
                    test::plant(test::FileShape::pipe, at == pipe ? path : beside));
        ASSERT_TRUE(at != folder || QDir().mkdir(path));
        const QString linkTo = at == linkIntoShared ? shared + "/record" : at == loop ? path : beside;
        ASSERT_TRUE(at < linkToFile || at > loop || QFile::link(linkTo, path));
        pipes << path << beside;
        EXPECT_TRUE(test::finishesWithoutWaitingOn(pipes, [&] {
            for (const auto& write : {writeWholeFile(path, "new"), appendToFile(path, "+")}) {
                EXPECT_EQ(write ? QString() : write.error(), refusal) << int(at);
            }
        }));
        QFile written(at == linkToFile ? beside : path);
        EXPECT_EQ(refusal.isEmpty() && written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(),
                  refusal.isEmpty() ? "new+" : "")
            << int(at);
        EXPECT_EQ(QFileInfo(path).isSymLink(), at >= linkToFile && at <= loop) << int(at);
    }
    EXPECT_FALSE(QFileInfo::exists(shared + "/record"));
    EXPECT_FALSE(QFileInfo(dir.filePath(QString("record-%1-target").arg(linkToPipe))).isFile());
}

// Around a record: `target`, a file of the runner's that only a link may
// lead a write to; `mine`, a folder of the runner's; `shared`, one anyone
// may write, holding a folder of the runner's; `group`, one its group may
// write; `sticky`, one anyone may add to but not take from; `theirs`, one of
// another account closed to others.
struct Scene {
    QTemporaryDir dir;
    QString target = put(dir.filePath("target"), "target");
    QString mine = test::folderOf(dir.filePath("mine"), 0755);
    QString shared = test::folderOf(dir.filePath("shared"), 0777);
    QString sharedMine = test::folderOf(dir.filePath("shared/mine"), 0755);
    QString group = test::folderOf(dir.filePath("group"), 0770);
    QString sticky = test::folderOf(dir.filePath("sticky"), 01777);
    QString theirs = test::othersFolder(dir.filePath("theirs"));

    QString at(const QString& name) const { return dir.filePath(name); }
    bool made() const {
        return !QStringList{target, mine, shared, sharedMine, group, sticky, theirs}.contains(QString());
    }
};

using Plant = std::function<void(const Scene&)>;

struct WriteCase {
    std::string name;
    QString at = "record";                 // the record's path in the scene
    Plant before = {};                     // what stands there when the write starts
    Plant between = {};                    // what is put there once its place is found
    QString refused = {};                  // why the write is refused; empty when it is made
    std::optional<QString> appended = {};  // why the append is, when not for the same reason
    bool intoTarget = false;               // a link leads the record to the target
};

void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<WriteCase> writeCases() {
    const auto link = [](const QString& to, const QString& name = "record") {
        return [=](const Scene& s) { EXPECT_TRUE(QFile::link(to, s.at(name))); };
    };
    const Plant file = [](const Scene& s) { put(s.at("record"), "old"); };
    const Plant pipe = [](const Scene& s) { test::plant(test::FileShape::pipe, s.at("record")); };
    const auto swapTo = [](const Plant& plant) {
        return [=](const Scene& s) {
            QFile::remove(s.at("record"));
            plant(s);
        };
    };
    const QString inShared = "it is a link in a folder others may write";
    std::vector<WriteCase> cases{
        {.name = "Missing"},
        {.name = "OwnFile", .before = file},
        {.name = "LinkInOwnFolder", .before = link("mine/../target"), .intoTarget = true},
        {.name = "FolderLinkInOwnFolder", .at = "via/record", .before = link("mine", "via")},
        {.name = "OwnLinkInStickyFolder",
         .at = "sticky/record",
         .before = link("../target", "sticky/record"),
         .intoTarget = true},
        {.name = "LinkInSharedFolder",
         .at = "shared/record",
         .before = link("../target", "shared/record"),
         .refused = inShared},
        {.name = "LinkInGroupFolder",
         .at = "group/record",
         .before = link("../target", "group/record"),
         .refused = inShared},
        {.name = "FolderLinkInSharedFolder",
         .at = "shared/via/record",
         .before = link("../mine", "shared/via"),
         .refused = inShared},
        {.name = "LinkThroughSharedFolder",
         .before = link("shared/mine/record"),
         .refused = "it is a link through a folder others may write"},
        {.name = "LinkIntoTheirFolder",
         .before = [](const Scene& s) { QFile::link(s.theirs + "/record", s.at("record")); },
         .refused = "it is a link into another account's folder"},
        {.name = "HardLink",
         .before =
             [](const Scene& s) {
                 EXPECT_EQ(::link(QFile::encodeName(s.target), QFile::encodeName(s.at("record"))), 0);
             },
         .appended = "it has more than one link"},
        {.name = "LinkPutInPlace",
         .before = file,
         .between = swapTo(link("target")),
         .appended = errnoText(ELOOP)},
        {.name = "PipePutInPlace", .before = file, .between = swapTo(pipe), .appended = errnoText(ENXIO)},
    };
    // Only root may give a file or a link to another account, or put one in its folder.
    const auto theirs = [](const QString& name, const QString& linkTo = {}) {
        return [=](const Scene& s) {
            const QString path = s.at(name);
            EXPECT_TRUE(linkTo.isEmpty() ? !put(path, "old").isEmpty() : QFile::link(linkTo, path));
            EXPECT_EQ(::lchown(QFile::encodeName(path), 65534, gid_t(-1)), 0);
        };
    };
    if (::geteuid() == 0) {
        cases.push_back(
            {.name = "TheirFile", .before = theirs("record"), .appended = "it belongs to another account"});
        cases.push_back({.name = "TheirLinkInStickyFolder",
                         .at = "sticky/record",
                         .before = theirs("sticky/record", "../target"),
                         .refused = inShared});
        cases.push_back({.name = "LinkInTheirFolder",
                         .at = "theirs/record",
                         .before = link("../target", "theirs/record"),
                         .refused = "it is a link in another account's folder"});
    }
    return cases;
}

class RecordWrite : public testing::TestWithParam<WriteCase> {};

// A record is written only where the runner alone, or root, could have put
// what leads to it; whatever is put at its name once its place is found is
// replaced or refused, never written through, and a pipe is never waited on.
TEST_P(RecordWrite, GoesOnlyWhereNobodyElseCouldHaveSteeredIt) {
    const WriteCase& c = GetParam();
    const auto bytesAt = [](const QString& path) { return readWholeFile(path, 1024).valueOr(QByteArray()); };
    for (const bool append : {false, true}) {
        const Scene s;
        ASSERT_TRUE(s.made());
        const QString path = s.at(c.at);
        if (c.before)
            c.before(s);
        QByteArray old = bytesAt(path);
        Result<Unit, QString> written = fail(QString());
        ASSERT_TRUE(test::finishesWithoutWaitingOn({path}, [&] {
            const auto place = RecordPlace::find(path);
            if (!place) {
                written = fail(place.error());
                return;
            }
            if (c.between) {
                c.between(s);
                old = bytesAt(path);
            }
            written = append ? place->append("+") : place->replace("new");
        }));
        EXPECT_EQ(written ? QString() : written.error(), append ? c.appended.value_or(c.refused) : c.refused)
            << append;
        const QByteArray now = !written ? old : append ? old + "+" : "new";
        EXPECT_EQ(bytesAt(path), now) << append;
        EXPECT_EQ(bytesAt(s.target), c.intoTarget ? now : "target") << append;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RecordWrite, testing::ValuesIn(writeCases()),
                         [](const auto& info) { return info.param.name; });

// A new file is made only where nothing stands, its folder too; whatever
// stands at the name (a link even to nowhere, a pipe) is left as it is.
TEST(NewFileWrite, MakesTheFileOnlyWhereNothingStands) {
    QTemporaryDir dir;
    const QString target = put(dir.filePath("target"), "theirs");
    const std::pair<QString, std::function<bool(const QString&)>> cases[] = {
        {"nothing, no folder", nullptr},
        {"file", [](const QString& at) { return !put(at, "theirs").isEmpty(); }},
        {"link", [&](const QString& at) { return QFile::link(target, at); }},
        {"link to nowhere", [&](const QString& at) { return QFile::link(dir.filePath("none"), at); }},
        {"linkToZeros", [](const QString& at) { return test::plant(test::FileShape::linkToZeros, at); }},
        {"pipe", [](const QString& at) { return test::plant(test::FileShape::pipe, at); }},
        {"folder", [](const QString& at) { return test::plant(test::FileShape::folder, at); }},
    };
    for (const auto& [name, make] : cases) {
        const QString at = dir.filePath(name + "/new.json");
        ASSERT_TRUE(name.startsWith("nothing") || (QDir().mkpath(QFileInfo(at).path()) && make(at)))
            << name.toStdString();
        const QFileInfo before(at);
        EXPECT_TRUE(test::finishesWithoutWaitingOn({at}, [&] {
            const auto made = writeNewFile(at, "new");
            EXPECT_EQ(made ? 0 : made.error(), name.startsWith("nothing") ? 0 : EEXIST) << name.toStdString();
        }));
        EXPECT_EQ(QFileInfo(at).isSymLink(), before.isSymLink()) << name.toStdString();
        if (name.startsWith("nothing") || name == "file") {
            EXPECT_EQ(contents(at), name == "file" ? "theirs" : "new") << name.toStdString();
        }
    }
    EXPECT_EQ(contents(target), "theirs");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("none")));
}

// A file is put in place whole and an earlier one of ours replaced, never
// written into (its other name keeps the old bytes); what others could have
// put at the name, and folders they could fill, are refused and left alone.
// The tests run as root, who may give a file to another account.
TEST(OutputFolder, ReplacesOurFilesAndRefusesWhatOthersCouldHavePut) {
    QTemporaryDir dir;
    const QString target = put(dir.filePath("target"), "mine");
    const uid_t me = ::geteuid(), nobody = 65534;
    enum At { nothing, ours, theirs, link, pipe };
    const std::tuple<const char*, mode_t, uid_t, At, QString> cases[] = {
        {"ours", 0755, me, ours, ""},
        {"sticky", 01777, nobody, nothing, ""},
        {"link", 0755, me, link, "a link stands at that name"},
        {"pipe", 0755, me, pipe, "something other than a file stands at that name"},
        {"theirs", 01777, me, theirs, "the file there belongs to another account"},
        {"shared", 0775, me, nothing, "others may write to the folder"},
        {"their-folder", 0755, nobody, nothing, "the folder belongs to another account"},
    };
    for (const auto& [name, mode, owner, at, refusal] : cases) {
        const QString folder = dir.filePath(name), file = folder + "/shot.png";
        QDir().mkdir(folder);
        const QByteArray disk = QFile::encodeName(at == ours || at == theirs ? put(file, "old") : file);
        ASSERT_TRUE(at != ours ||
                    ::link(disk.constData(), QFile::encodeName(dir.filePath("hard")).constData()) == 0);
        ASSERT_TRUE(at != theirs || ::chown(disk.constData(), nobody, gid_t(-1)) == 0);
        ASSERT_TRUE(at != link || QFile::link(target, file));
        ASSERT_TRUE(at != pipe || test::plant(test::FileShape::pipe, file));
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), mode), 0);
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), owner, gid_t(-1)), 0);
        const auto written = OutputFolder(folder).write("shot.png", "new");
        EXPECT_EQ(written ? QString() : written.error(), refusal) << name;
        EXPECT_TRUE(!refusal.isEmpty() || contents(file) == "new") << name;
        EXPECT_EQ(QDir(folder).entryList(QDir::Hidden | QDir::Files).filter(".shot"), QStringList()) << name;
    }
    EXPECT_EQ(contents(target) + contents(dir.filePath("hard")) + contents(dir.filePath("theirs/shot.png")),
              "mineoldold");
    // The folder itself: made with its parents; refused as a link or inside a file.
    EXPECT_TRUE(OutputFolder(dir.filePath("new/deeper")).write("shot.png", "new").ok());
    QFile::link(dir.filePath("ours"), dir.filePath("folder-link"));
    EXPECT_EQ(OutputFolder(dir.filePath("folder-link")).write("shot.png", "new").error(),
              "the folder is a link");
    EXPECT_EQ(OutputFolder(target + "/x").write("shot.png", "new").error(),
              "could not make or open the folder (errno 20)");
    EXPECT_EQ(OutputFolder(dir.path()).write("../escape", "x").error(), "not a file name");
}

TEST(HostVolumes, ReadsReadOnlyAndLeavesInternalUnknown) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Volumes/Data");
    const auto paths = SystemPaths::rerooted(dir.path(), "/Users/anna");
    HostVolumes volumes;
    const auto flags = volumes.flags("/Volumes/Data", paths);
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(flags->readOnly, false);
    EXPECT_FALSE(flags->internal.has_value());
    EXPECT_FALSE(volumes.flags("/Volumes/Gone", paths).has_value());
}

QStringList logged;

// No System Settings runs here. Where the desktop names no application for
// its links the opener is not even started; where it runs, its own answer
// counts, and what it writes reaches one line of our log, never the
// terminal. The file viewer falls back to the opener when the file manager
// does not answer.
TEST(HostWorkspace, OpensOnlyWhatTheDesktopTakesAndSaysWhyInOneLogLine) {
    QTemporaryDir bin;
    const auto write = [&](const QString& name, const QByteArray& text) {
        ASSERT_TRUE(QFile::setPermissions(put(bin.filePath(name), text),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    };
    const QByteArray here = "cd " + QFile::encodeName(bin.path()) + "\n";
    write("xdg-mime", "#!/bin/sh\n" + here + "echo \"$@\" >> calls; cat handler\n");
    write("dbus-send", "#!/bin/sh\necho 'no session bus' >&2; exit 1\n");
    write("xdg-open", "#!/bin/sh\n" + here +
                          "echo open \"$@\" >> calls; for b in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17; "
                          "do echo \"browser $b: not found\" >&2; done; exit $(cat status)\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ":" + path);
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& line) { logged << line; });
    testing::internal::CaptureStderr();

    const QUrl link("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    HostWorkspace host;
    EXPECT_TRUE(host.runningApplications("com.apple.systempreferences").isEmpty());
    EXPECT_FALSE(host.frontmostBundleID());
    HostFileViewer viewer;
    write("handler", "");
    EXPECT_FALSE(host.openURL(link, true));
    write("handler", "settings.desktop\n");
    write("status", "4");
    EXPECT_FALSE(host.openURL(link, true));
    EXPECT_FALSE(viewer.reveal(bin.filePath("handler")));
    write("status", "0");
    EXPECT_TRUE(host.openURL(link, true));
    EXPECT_TRUE(viewer.reveal(bin.filePath("handler")));

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    qInstallMessageHandler(before);
    qputenv("PATH", path);
    const QString query = "query default x-scheme-handler/x-apple.systempreferences\n";
    const QString opens = "open " + link.toString() + "\nopen " + bin.path() + "\n";
    EXPECT_EQ(QString(contents(bin.filePath("calls"))), query + query + opens + query + opens);
    const QString hunt = "browser 1: not found browser 2: not found";
    ASSERT_EQ(logged.size(), 3);
    EXPECT_EQ(logged[0], "Workspace: could not open " + link.toString() +
                             ": no application on this desktop opens \"x-apple.systempreferences:\" links");
    EXPECT_TRUE(logged[1].contains("xdg-open answered 4: " + hunt)) << logged[1].toStdString();
    EXPECT_TRUE(
        logged[2].startsWith("FileViewer: could not show " + bin.filePath("handler") +
                             ": the file manager: no session bus; the folder: xdg-open answered 4: " + hunt))
        << logged[2].toStdString();
}

}  // namespace
}  // namespace rk
