// The live side of the checklist: the two tools, their cache, and the
// environment a row is judged in, on a re-rooted machine with fake tools.

#include <gtest/gtest.h>

#include <QDir>
#include <QMutex>
#include <QMutexLocker>

#include "movein/MoveIn.h"
#include "support/FakeClock.h"
#include "support/PlatformFakes.h"
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
    EXPECT_TRUE(env.installed("com.example.app"));
    EXPECT_FALSE(env.installed("com.example.other"));
    EXPECT_TRUE(env.exists("~/Library/Application Support/Box/state.db"));
    EXPECT_FALSE(env.exists("~/Library/Application Support/Nothing"));
    EXPECT_TRUE(env.newest("~/Library/Application Support/Box").has_value());
    EXPECT_FALSE(env.newest("/Users/anna/Nothing").has_value());
    // A relative path names no place on the Mac, whatever the working folder holds.
    EXPECT_FALSE(env.exists("."));
    EXPECT_FALSE(env.newest(".").has_value());

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

}  // namespace
}  // namespace rk
