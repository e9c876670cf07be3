// What the rows say and which button they show, beyond the self-test's table.

#include <gtest/gtest.h>

#include "movein/MoveIn.h"

namespace rk {
namespace {

using State = MoveIn::State;
using Check = MoveInSpec::Check;

const QDateTime kMove = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
const QDateTime kFresh = QDateTime::fromSecsSinceEpoch(2000, Qt::UTC);

MoveInSpec row(std::optional<Check> check, std::optional<MoveInSpec::Action> action = {},
               std::optional<QString> actionLabel = {}) {
    return MoveInSpec{.id = "x",
                      .title = "T",
                      .actionLabel = actionLabel,
                      .how = QString("How"),
                      .check = check,
                      .action = action};
}

MoveIn::Env env(MoveIn::Marks marks = {}) {
    MoveIn::Env e;
    e.since = kMove;
    e.marks = std::move(marks);
    return e;
}

MoveIn::Env fresh(MoveIn::Env e = env()) {
    e.newest = [](const QString&) -> std::optional<QDateTime> { return kFresh; };
    return e;
}

// Answers only the named command, as the live probe does.
MoveIn::Env output(const QString& command, const QString& text, MoveIn::Env e = env()) {
    e.command = [command, text](const QString& name) -> std::optional<QString> {
        return name == command ? std::optional<QString>(text) : std::nullopt;
    };
    return e;
}

TEST(MoveInRules, ChecksThatNameNothingCannotCheckAndNeverGoGreen) {
    MoveIn::Env e = fresh();
    e.tcc = Result<QList<TCCRow>, StoreError>(QList<TCCRow>{});
    e.installed = e.exists = e.running = [](const QString&) { return true; };
    const Check empty[] = {
        {.kind = "tcc-granted", .clients = QStringList{}, .service = QString("s")},
        {.kind = "tcc-granted", .clients = QStringList{"a"}},
        {.kind = "file-newer-than", .paths = QStringList{""}},
        {.kind = "process-and-file-newer", .path = QString("/p")},
        {.kind = "app-installed"},
        {.kind = "file-exists"},
        {.kind = ""},
    };
    for (const auto& check : empty) {
        const State state = MoveIn::state(row(check), e);
        EXPECT_EQ(state.kind, State::Kind::cannotCheck) << check.kind.toStdString();
        EXPECT_FALSE(state.text.value_or("").isEmpty());
    }
}

// Each check reads its own probe; a row the Mac can check is never turned
// green by the person's mark alone.
TEST(MoveInRules, EachCheckReadsItsProbeAndAMarkAloneNeverTurnsItGreen) {
    const Check ax{.kind = "tcc-granted", .clients = QStringList{"a", "b", "c"}, .service = QString("s")};
    const Check box{.kind = "process-and-file-newer",
                    .tier = QString("verified"),
                    .path = QString("/p"),
                    .process = QString("Box")};
    const Check codex{.kind = "codex-login"};
    const auto codesign = [](const char* contains) {
        return Check{.kind = "codesign-identity", .contains = QString(contains)};
    };
    const QString listing =
        "  1) 0123ABCD \"Apple Development: Anna (X1)\"\n"
        "  2) 4567EF01 \"Developer ID Application: Anna (X1)\"\n"
        "     2 valid identities found\n";
    const MoveIn::Marks marked{{"x"}, {"x"}};
    MoveIn::Env noAccess = env(marked);
    noAccess.tcc = Result<QList<TCCRow>, StoreError>(fail(StoreError::noAccess()));
    MoveIn::Env probes = env();
    probes.tcc = Result<QList<TCCRow>, StoreError>(QList<TCCRow>{
        {"a", 0, "s", 2, TCCRow::DB::system},
        {"b", 0, "other", 2, TCCRow::DB::user},  // another service does not count
        {"c", 0, "s", 0, TCCRow::DB::user},
    });
    probes.installed = [](const QString& bundle) { return bundle == "com.example.app"; };
    probes.exists = [](const QString& path) { return path == "~/there"; };
    probes.newest = [](const QString& path) -> std::optional<QDateTime> {
        if (path == "/a")
            return kMove.addSecs(-1);
        return path == "/c" ? std::optional<QDateTime>(kFresh) : std::nullopt;
    };
    const struct {
        const char* name;
        Check check;
        MoveIn::Env env;
        State expected;
    } cases[] = {
        {"unknown kind",
         {.kind = "bluetooth-paired"},
         env(marked),
         State::cannotCheck("I do not know how to check \"bluetooth-paired\", so please check it yourself.")},
        {"privacy database unreadable", ax, noAccess,
         State::cannotCheck("I cannot read the privacy database (" + StoreError::noAccess().description() +
                            "), so I cannot check this.")},
        {"privacy database not read", ax, env(marked),
         State::cannotCheck("I have not read the privacy database yet.")},
        {"privacy, clients still to allow", ax, probes, State::needs(QString("Not allowed yet: b, c"))},
        {"process not running", box, fresh(env(marked)), State::needs(QString("Box is not running."))},
        {"codex not logged in", codex, output("codex-login", "Not logged in\n", env(marked)), State::needs()},
        // Only a line that begins with "Logged in", case and all.
        {"codex logged in", codex,
         output("codex-login", "WARNING: x\n Logged in using an API key - sk-***\n"),
         State::green("Logged in using an API key - sk-***")},
        {"codex in lower case", codex, output("codex-login", "logged in using ChatGPT"), State::needs()},
        {"codesign identity", codesign("Developer ID Application"), output("codesign", listing),
         State::green("Developer ID Application: Anna (X1)")},
        {"codesign closing line is no identity", codesign("valid identities"), output("codesign", listing),
         State::needs()},
        {"codesign without identities", codesign(""), output("codesign", "     0 valid identities found\n"),
         State::needs()},
        {"installed",
         {.kind = "app-installed", .bundle = QString("com.example.app")},
         probes,
         State::green("Installed on this Mac")},
        {"not installed", {.kind = "app-installed", .bundle = QString("com.other")}, probes, State::needs()},
        {"file exists",
         {.kind = "file-exists", .path = QString("~/there")},
         probes,
         State::green("Found at ~/there")},
        {"file missing", {.kind = "file-exists", .path = QString("~/elsewhere")}, probes, State::needs()},
        {"the newest of several paths counts",
         {.kind = "file-newer-than", .path = QString("/c"), .paths = QStringList{"/a", "/b"}},
         probes,
         State::opened(kFresh)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MoveIn::state(row(c.check), c.env), c.expected) << c.name;
}

TEST(MoveInRules, StatusTextsFollowTheState) {
    MoveInSpec noHow = row(std::nullopt);
    noHow.how = QString();
    EXPECT_EQ(MoveIn::evaluate(noHow, env()), KTReconnectStatus::needsAction());
    EXPECT_EQ(MoveIn::evaluate(row(Check{.kind = "file-newer-than", .paths = QStringList{"/p"}}), fresh()),
              KTReconnectStatus::needsAction("Opened " + MoveIn::timeLine(kFresh) +
                                             ". Press Confirm once it works."));
}

// The check mode's lines show the other labels.
TEST(MoveInRules, TheButtonLeadsFromOpenToConfirmToDone) {
    const MoveInSpec::Action site{QString("https://example.com"), std::nullopt};
    const MoveInSpec signIn = row(std::nullopt, site, QString("Sign in"));
    EXPECT_EQ(MoveIn::label(signIn, env()), "Sign in");
    EXPECT_EQ(MoveIn::label(signIn, env({{"x"}, {}})), "Confirm");
    EXPECT_EQ(MoveIn::label(signIn, env({{"x"}, {"x"}})), "Done");
    EXPECT_EQ(MoveIn::label(row(std::nullopt, site), env()), "Open");
    // A checked row shows what it would open, never Confirm.
    EXPECT_EQ(MoveIn::label(row(Check{.kind = "codex-login"}, site),
                            output("codex-login", "Not logged in", env({{"x"}, {}}))),
              "Open");
}

TEST(MoveInRules, TimeLineSaysTodayOrTheMonthAndDay) {
    const QDateTime now(QDate(2026, 3, 4), QTime(18, 30));
    EXPECT_EQ(MoveIn::timeLine(QDateTime(QDate(2026, 3, 4), QTime(9, 5)), now), "today at 09:05");
    EXPECT_EQ(MoveIn::timeLine(QDateTime(QDate(2026, 3, 3), QTime(23, 59)), now), "Mar 3 at 23:59");
}

}  // namespace
}  // namespace rk
