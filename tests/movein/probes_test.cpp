// The live side of the checklist: the two tools, their cache, the
// environment a row is judged in (on a re-rooted machine with fake tools),
// and the newest change in a real folder tree beyond the self-test's decoys.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTextStream>

#include "movein/MoveIn.h"
#include "movein/MoveInCheck.h"
#include "support/FakeClock.h"
#include "support/PlatformFakes.h"
#include "support/PrintedLines.h"
#include "support/TccDbWriter.h"
#include "support/TempRoot.h"

namespace rk {
namespace {

using namespace std::chrono_literals;

// Answers each program with a scripted run and keeps what was asked.
class ScriptedMachine final : public Machine {
public:
    struct Call {
        QString program;
        QStringList arguments;
        std::chrono::milliseconds limit;
    };
    QHash<QString, ToolRun> answers;  // by program path; missing ones do not start

    ToolRun run(const QString& program, const QStringList& arguments,
                std::chrono::milliseconds limit) override {
        QMutexLocker lock(&mutex);
        calls.push_back({program, arguments, limit});
        return answers.value(program, ToolRun{});
    }
    qsizetype callsTo(const QString& program) const {
        QMutexLocker lock(&mutex);
        return std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.program == program; });
    }

    std::vector<Call> calls;
    mutable QMutex mutex;
};

ToolRun finished(QByteArray out, QByteArray err = {}, int code = 0) {
    return ToolRun{ToolRun::Outcome::finished, code, std::move(out), std::move(err)};
}

// An executable shell script at the logical path; its path on disk.
QString writeTool(const test::TempRoot& root, const QString& logical) {
    const QString disk = root.writeFile(logical, "#!/bin/sh\n");
    QFile::setPermissions(disk, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return disk;
}

class ProbesTest : public ::testing::Test {
protected:
    void SetUp() override { MoveIn::commandCache().clear(); }
    void TearDown() override { MoveIn::commandCache().clear(); }
    QString codex(const QString& searchPath) {
        return MoveIn::program("codex-login", root.paths(), searchPath).value().path;
    }

    test::TempRoot root;
    ScriptedMachine machine;
};

// Only the two commands name a program; a run gives both channels (Codex
// answers on standard error), and only when the tool finished within 8 s.
TEST_F(ProbesTest, OnlyTheTwoCommandsNameAProgramAndRunWithinTheLimit) {
    EXPECT_EQ(
        MoveIn::program("codesign", root.paths()),
        (MoveIn::Program{root.disk("/usr/bin/security"), {"find-identity", "-v", "-p", "codesigning"}}));
    EXPECT_EQ(MoveIn::program("codex-login", root.paths())->arguments, (QStringList{"login", "status"}));
    for (const char* other : {"codex", "security", "", "Codesign", "rm"})
        EXPECT_EQ(MoveIn::program(other, root.paths()), std::nullopt) << other;
    machine.answers["/ok"] = finished("out ", "err", 1);
    machine.answers["/slow"] = ToolRun{ToolRun::Outcome::timedOut, -1, "partial", {}};
    EXPECT_EQ(MoveIn::run({"/ok", {"a"}}, machine), QString("out err"));
    EXPECT_EQ(MoveIn::run({"/slow", {}}, machine), std::nullopt);
    EXPECT_EQ(MoveIn::run({"/missing", {}}, machine), std::nullopt);
    for (const auto& call : machine.calls)
        EXPECT_EQ(call.limit, 8000ms);
}

// Installers that put Codex elsewhere (npm with another prefix, a version
// manager) leave it on the search path; its folders come after the usual
// places. A relative entry names wherever the app started, not a place on the Mac.
TEST_F(ProbesTest, CodexIsLookedForInItsUsualPlacesThenOnTheSearchPath) {
    EXPECT_EQ(codex("bin"), root.disk(root.paths().codexLocations().first())) << "none installed";
    const QString onPath = writeTool(root, "/Users/anna/.nvm/versions/node/v20/bin/codex");
    root.writeFile("/Users/anna/plain/codex", "not executable");
    writeTool(root, "/relative/bin/codex");
    const QString searchPath =
        "relative/bin::/Users/anna/none:/Users/anna/plain:/Users/anna/.nvm/versions/node/v20/bin/";
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root.root()));
    EXPECT_EQ(codex(searchPath), onPath);
    QDir::setCurrent(current);

    // The process's own search path is the default.
    const QByteArray saved = qgetenv("PATH");
    qputenv("PATH", "/Users/anna/.nvm/versions/node/v20/bin");
    const auto fromEnvironment = MoveIn::program("codex-login", root.paths());
    qputenv("PATH", saved);
    EXPECT_EQ(fromEnvironment->path, onPath);

    const QString local = writeTool(root, "/Users/anna/.local/bin/codex");
    EXPECT_EQ(codex(searchPath), local);
    const QString brew = writeTool(root, "/opt/homebrew/bin/codex");
    EXPECT_EQ(codex(searchPath), brew);
}

// A failed run is cached too, so a missing tool is not retried every refresh.
TEST_F(ProbesTest, ACommandRunsAtMostOnceEveryThirtySeconds) {
    const QString security = root.disk("/usr/bin/security");
    machine.answers[security] = finished("     0 valid identities found\n");
    test::FakeClock clock(1000);
    const auto codesign = [&] { return MoveIn::command("codesign", root.paths(), machine, clock); };
    EXPECT_EQ(codesign(), QString("     0 valid identities found\n"));
    clock.advance(30);
    machine.answers[security] = finished("changed");
    EXPECT_EQ(codesign(), QString("     0 valid identities found\n"));
    EXPECT_EQ(machine.callsTo(security), 1);
    clock.advance(1);
    EXPECT_EQ(codesign(), QString("changed"));
    EXPECT_EQ(machine.callsTo(security), 2);

    EXPECT_EQ(MoveIn::command("codex-login", root.paths(), machine, clock), std::nullopt);
    EXPECT_EQ(MoveIn::command("codex-login", root.paths(), machine, clock), std::nullopt);
    EXPECT_EQ(MoveIn::command("unknown", root.paths(), machine, clock), std::nullopt);
    EXPECT_EQ(machine.calls.size(), 3u);
}

TEST_F(ProbesTest, TheLiveEnvironmentLooksAtThisMac) {
    test::ScopedCurrent<Machine> machineGuard(&machine);
    machine.answers[root.disk("/usr/bin/pgrep")] = finished("123\n");
    test::FakeAppRegistry registry;
    registry.pathsOf["com.example.app"] = {"/Applications/Example.app"};
    test::ScopedCurrent<AppRegistry> registryGuard(&registry);

    root.writeFile("/Users/anna/Library/Application Support/Box/state.db", "x");
    const QString marksPath = root.root() + "/marks.json";
    ASSERT_TRUE(MoveIn::saveMarks({{"row"}, {"other"}}, marksPath).ok());

    const MoveInSpec spec{.id = "row", .title = "Row", .check = MoveInSpec::Check{.kind = "none"}};
    const QDateTime since = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
    const MoveIn::Env env = MoveIn::liveEnv(spec, since, root.paths(), marksPath);
    EXPECT_EQ(env.since, since);
    EXPECT_EQ(env.marks, (MoveIn::Marks{{"row"}, {"other"}}));
    EXPECT_FALSE(env.tcc.has_value()) << "only a privacy row reads the privacy database";
    EXPECT_TRUE(env.installed("com.example.app") && !env.installed("com.example.other"));
    EXPECT_TRUE(env.exists("~/Library/Application Support/Box/state.db"));
    EXPECT_FALSE(env.exists("~/Library/Application Support/Nothing"));
    EXPECT_TRUE(env.newest("~/Library/Application Support/Box") && !env.newest("/Users/anna/Nothing"));
    // A relative path names no place on the Mac, whatever the working folder holds.
    EXPECT_FALSE(env.exists(".") || env.newest("."));

    EXPECT_TRUE(env.running("Box.app+"));
    ASSERT_FALSE(machine.calls.empty());
    EXPECT_EQ(machine.calls.back().arguments, (QStringList{"-x", "--", "Box\\.app\\+"}));
    // Asked again within the same environment, the answer is remembered.
    EXPECT_TRUE(env.running("Box.app+"));
    EXPECT_EQ(machine.callsTo(root.disk("/usr/bin/pgrep")), 1);
    machine.answers[root.disk("/usr/bin/pgrep")] = finished("", "", 1);
    EXPECT_FALSE(env.running("Other"));
}

TEST_F(ProbesTest, APrivacyRowReadsThePrivacyDatabaseAndIsNeverGreenWithoutIt) {
    const MoveInSpec spec{.id = "ax",
                          .title = "Example",
                          .check = MoveInSpec::Check{.kind = "tcc-granted",
                                                     .clients = QStringList{"com.example.app"},
                                                     .service = QString("kTCCServiceAccessibility")}};
    const auto judge = [&] {
        return MoveIn::state(spec,
                             MoveIn::liveEnv(spec, std::nullopt, root.paths(), root.root() + "/none.json"));
    };
    EXPECT_EQ(judge().kind, MoveIn::State::Kind::cannotCheck) << "no database on this Mac";
    ASSERT_EQ(
        test::TccDbWriter::write(root.disk(root.paths().userTCC()),
                                 {{QString("com.example.app"), 0, QString("kTCCServiceAccessibility"), 2}}),
        QString());
    ASSERT_EQ(test::TccDbWriter::write(root.disk(root.paths().systemTCC()), {}), QString());
    EXPECT_TRUE(judge().isGreen());
}

// Sets a path's modification date a day back without following a link.
const qint64 kDayBack = QDateTime::currentSecsSinceEpoch() - 86400;
void backdate(const QString& disk) {
    const struct timespec times[2] = {{kDayBack, 0}, {kDayBack, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(disk).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// A Keychains folder never counts, in any case (the self-test run holds the
// links); a file gives its own date, a missing path none.
TEST_F(ProbesTest, NewestSkipsKeychainsAndReadsAtMostFourHundredEntriesOfAFolder) {
    root.writeFile("/old/keychains/login.db", "x");
    for (const char* path : {"/old/keychains", "/old"})
        backdate(root.disk(path));
    EXPECT_EQ(MoveIn::newest(root.disk("/old")), QDateTime::fromSecsSinceEpoch(kDayBack, Qt::UTC));
    backdate(root.writeFile("/one.txt", "x"));
    EXPECT_EQ(MoveIn::newest(root.disk("/one.txt")), QDateTime::fromSecsSinceEpoch(kDayBack, Qt::UTC));
    EXPECT_EQ(MoveIn::newest(root.disk("/nothing here")), std::nullopt);
    EXPECT_EQ(MoveIn::newest(QString()), std::nullopt);
    // 800 old files: a fresh one is found only among the first 400 the folder lists.
    for (int i = 0; i < 800; ++i)
        backdate(root.writeFile(QString("/many/f%1").arg(i), "x"));
    backdate(root.disk("/many"));
    const QStringList order =
        QDir(root.disk("/many")).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    ASSERT_EQ(order.size(), 800);
    const auto opened = [&] {
        return MoveIn::newest(root.disk("/many")) > QDateTime::currentDateTimeUtc().addSecs(-3600);
    };
    root.writeFile("/many/" + order.last(), "x");
    EXPECT_FALSE(opened());
    root.writeFile("/many/" + order.first(), "x");
    EXPECT_TRUE(opened());
}

// "--move-in-check": its lines, its summary and its exit statuses.
class CheckModeTest : public ProbesTest {
protected:
    test::Printed check(const QString& path) {
        QString text;
        QTextStream out(&text);
        const int status = MoveInCheck::run(path, out, root.paths(), marks);
        return {status, text.split('\n', Qt::SkipEmptyParts)};
    }
    QString list(const QByteArray& json) { return root.writeFile("/list.json", json); }

    void SetUp() override {
        ProbesTest::SetUp();
        machine.answers[codexTool] = finished({}, "Logged in using ChatGPT\n");
    }

    test::ScopedCurrent<Machine> current{&machine};
    QString codexTool = writeTool(root, "/opt/homebrew/bin/codex");
    QString marks = root.root() + "/marks.json";
};

// Missing, broken and empty lists each say which they are ("%1" the path).
TEST_F(CheckModeTest, AMissingBrokenOrEmptyListIsNotMeasuredWithStatusTwo) {
    const QString missing = root.root() + "/nonexistent";
    const std::pair<QString, QString> cases[] = {
        {missing, "no list at %1"},
        {root.makeFolder("/folder"), "%1 is not a checklist: it is not a plain file"},
        {"", "%1 is not a checklist: it is empty"},
        {"not json", "%1 is not a checklist: it is not JSON (illegal value at byte 1)"},
        {R"({"since":1})", R"(%1 is not a checklist: it has no "rows" list)"},
        {R"([{"title":"No id"}])", R"(%1 is not a checklist: no row has both an "id" and a "title")"},
        {R"({"rows":[]})", "no rows in %1"},
    };
    for (const auto& [pathOrJson, line] : cases) {
        const QString path = pathOrJson.startsWith('/') ? pathOrJson : list(pathOrJson.toUtf8());
        const test::Printed report = check(path);
        EXPECT_EQ(report.status, 2);
        EXPECT_EQ(report.lines, QStringList{"NOT MEASURED: " + line.arg(path)});
    }
    EXPECT_EQ(machine.calls.size(), 0u) << "no tool runs for an empty list";
}

TEST_F(CheckModeTest, PrintsOneLinePerRowAndASortedTally) {
    ASSERT_TRUE(MoveIn::saveMarks({{}, {"mine"}}, marks).ok());
    const QString path = list(R"({"rows":[
        {"id":"codex","title":"Codex","check":{"kind":"codex-login"},"action":{"url":"https://x"},"actionLabel":"Sign in"},
        {"id":"mine","title":"My sign-in"},
        {"id":"box","title":"Box","how":"Open Box and sign in.","check":{"kind":"file-newer-than","paths":["~/Box"]}},
        {"id":"key","title":"Signing","check":{"kind":"codesign-identity"}},
        {"id":"odd","title":"Odd","check":{"kind":"weird"}}]})");
    const test::Printed report = check(path);
    EXPECT_EQ(report.status, 0);
    EXPECT_EQ(
        report.lines,
        QStringList({"GREEN        [codex-login] Codex: Logged in using ChatGPT  ->  Done",
                     "GREEN        [none] My sign-in: You confirmed this  ->  Done",
                     "CANNOT CHECK [file-newer-than] Box: The list does not say when the move happened, so "
                     "I cannot tell new files from migrated one  ->  Confirm",
                     "CANNOT CHECK [codesign-identity] Signing: I could not list the code-signing "
                     "identities in your keychain.  ->  Check again",
                     "CANNOT CHECK [weird] Odd: I do not know how to check \"weird\", so please check it "
                     "yourself.  ->  Check again",
                     "rows: 5, since: not given, CANNOT CHECK 3, GREEN 2"}));
    // Each tool ran once, before the rows, however many rows read it.
    EXPECT_EQ(machine.calls.size(), 2u);
}

TEST_F(CheckModeTest, FixAndOpenedRowsAndTheSinceLine) {
    root.writeFile("/Users/anna/Box/new.txt", "x");
    machine.answers[codexTool] = finished({}, "Not logged in\n");
    const QString path = list(R"({"since": 1000, "rows":[
        {"id":"box","title":"Box","how":"Open Box and sign in.","check":{"kind":"file-newer-than","paths":["~/Box"]}},
        {"id":"old","title":"Old","how":"Open Old.","check":{"kind":"file-newer-than","paths":["~/Nothing"]}},
        {"id":"codex","title":"Codex","check":{"kind":"codex-login"}}]})");
    const test::Printed report = check(path);
    EXPECT_EQ(report.status, 0);
    const QDateTime opened = QFileInfo(root.disk("/Users/anna/Box/new.txt")).lastModified();
    EXPECT_EQ(
        report.lines,
        QStringList({"OPENED       [file-newer-than] Box: Opened " + MoveIn::timeLine(opened) +
                         ". Press Confirm once it works.  ->  Confirm",
                     "FIX          [file-newer-than] Old: Open Old.  ->  Confirm",
                     "FIX          [codex-login] Codex: needs a reconnect  ->  Check again",
                     "rows: 3, since: " + MoveIn::timeLine(QDateTime::fromSecsSinceEpoch(1000, Qt::UTC)) +
                         ", FIX 2, OPENED 1"}));
}

// A character outside the Basic Multilingual Plane is one character, never half of one.
TEST(MoveInCheck, LongTextsAreCutAtNinetyCharacters) {
    EXPECT_EQ(MoveInCheck::line("FIX", "none", "T", QString(100, 'a'), "Open"),
              "FIX          [none] T: " + QString(90, 'a') + "  ->  Open");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xA6");
    EXPECT_EQ(MoveInCheck::line("GREEN", "none", "T", emoji.repeated(91), "Done"),
              "GREEN        [none] T: " + emoji.repeated(90) + "  ->  Done");
}

}  // namespace
}  // namespace rk
