// What the rows say and which button they show, beyond the self-test's table.

#include <gtest/gtest.h>

#include "movein/MoveIn.h"

namespace rk {
namespace {

using State = MoveIn::State;

const QDateTime kMove = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
const QDateTime kFresh = QDateTime::fromSecsSinceEpoch(2000, Qt::UTC);

MoveInSpec row(std::optional<MoveInSpec::Check> check, std::optional<MoveInSpec::Action> action = {},
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

TEST(MoveInRules, ChecksThatNameNothingCannotCheckAndNeverGoGreen) {
    MoveIn::Env e = env();
    e.tcc = Result<QList<TCCRow>, StoreError>(QList<TCCRow>{});
    e.installed = e.exists = e.running = [](const QString&) { return true; };
    e.newest = [](const QString&) -> std::optional<QDateTime> { return kFresh; };
    const MoveInSpec::Check empty[] = {
        {.kind = "tcc-granted", .service = QString("s")},
        {.kind = "tcc-granted", .clients = QStringList{}, .service = QString("s")},
        {.kind = "tcc-granted", .clients = QStringList{"a"}},
        {.kind = "file-newer-than"},
        {.kind = "file-newer-than", .paths = QStringList{""}},
        {.kind = "process-and-file-newer", .path = QString("/p")},
        {.kind = "app-installed"},
        {.kind = "file-exists"},
        {.kind = "no-such-kind"},
        {.kind = ""},
    };
    for (const auto& check : empty) {
        const State state = MoveIn::state(row(check), e);
        EXPECT_EQ(state.kind, State::Kind::cannotCheck) << check.kind.toStdString();
        EXPECT_FALSE(state.text.value_or("").isEmpty());
    }
}

TEST(MoveInRules, AnUnknownKindSaysSoInASentenceAndNeverGoesGreen) {
    const MoveInSpec spec = row(MoveInSpec::Check{.kind = "bluetooth-paired"});
    const State state = MoveIn::state(spec, env());
    ASSERT_EQ(state.kind, State::Kind::cannotCheck);
    EXPECT_TRUE(state.text->contains("\"bluetooth-paired\""));
    EXPECT_TRUE(state.text->endsWith("."));
    EXPECT_EQ(MoveIn::label(spec, env()), "Check again");
    EXPECT_EQ(MoveIn::state(spec, env({{"x"}, {"x"}})), state);
}

TEST(MoveInRules, ThePrivacyDatabaseUnreadOrUnreadableCannotCheck) {
    const MoveInSpec spec = row(MoveInSpec::Check{
        .kind = "tcc-granted", .clients = QStringList{"a"}, .service = QString("kTCCServiceAccessibility")});
    EXPECT_EQ(MoveIn::state(spec, env()).kind, State::Kind::cannotCheck);
    // Not even with the person's mark.
    MoveIn::Env e = env({{"x"}, {"x"}});
    e.tcc = Result<QList<TCCRow>, StoreError>(fail(StoreError::noAccess()));
    const State state = MoveIn::state(spec, e);
    EXPECT_EQ(state.kind, State::Kind::cannotCheck);
    EXPECT_TRUE(state.text->contains("no access"));
}

TEST(MoveInRules, APrivacyRowNamesTheClientsStillToAllow) {
    const MoveInSpec spec = row(MoveInSpec::Check{.kind = "tcc-granted",
                                                  .clients = QStringList{"a", "b", "c"},
                                                  .service = QString("kTCCServiceAccessibility")});
    MoveIn::Env e = env();
    e.tcc = Result<QList<TCCRow>, StoreError>(QList<TCCRow>{
        {"a", 0, "kTCCServiceAccessibility", 2, TCCRow::DB::system},
        {"b", 0, "kTCCServiceScreenCapture", 2, TCCRow::DB::user},  // another service does not count
        {"c", 0, "kTCCServiceAccessibility", 0, TCCRow::DB::user},
    });
    EXPECT_EQ(MoveIn::state(spec, e), State::needs(QString("Not allowed yet: b, c")));
    EXPECT_EQ(MoveIn::evaluate(spec, e), KTReconnectStatus::needsAction(QString("Not allowed yet: b, c")));
}

// Without the date of the move a migrated file looks just like a new one.
TEST(MoveInRules, FileDatesWithoutAMoveDateCannotCheck) {
    const MoveInSpec spec = row(MoveInSpec::Check{.kind = "file-newer-than", .paths = QStringList{"/p"}});
    MoveIn::Env e = env();
    e.since.reset();
    e.newest = [](const QString&) -> std::optional<QDateTime> { return kFresh; };
    EXPECT_EQ(MoveIn::state(spec, e).kind, State::Kind::cannotCheck);
}

TEST(MoveInRules, TheNewestOfSeveralPathsCounts) {
    const MoveInSpec spec = row(MoveInSpec::Check{
        .kind = "file-newer-than", .path = QString("/c"), .paths = QStringList{"/a", "/b"}});
    MoveIn::Env e = env();
    e.newest = [](const QString& path) -> std::optional<QDateTime> {
        if (path == "/c")
            return kFresh;
        if (path == "/a")
            return kMove.addSecs(-1);
        return std::nullopt;
    };
    EXPECT_EQ(MoveIn::state(spec, e), State::opened(kFresh));
}

TEST(MoveInRules, AProcessThatIsNotRunningIsNamed) {
    const MoveInSpec spec = row(MoveInSpec::Check{.kind = "process-and-file-newer",
                                                  .tier = QString("verified"),
                                                  .path = QString("/p"),
                                                  .process = QString("Box")});
    MoveIn::Env e = env();
    e.newest = [](const QString&) -> std::optional<QDateTime> { return kFresh; };
    EXPECT_EQ(MoveIn::state(spec, e), State::needs(QString("Box is not running.")));
}

TEST(MoveInRules, AVerifiedRowIsNotTurnedGreenByTheMarkAlone) {
    const MoveInSpec spec = row(MoveInSpec::Check{.kind = "process-and-file-newer",
                                                  .tier = QString("verified"),
                                                  .path = QString("/p"),
                                                  .process = QString("Box")});
    EXPECT_FALSE(MoveIn::state(spec, env({{"x"}, {"x"}})).isGreen());
    const MoveInSpec codex = row(MoveInSpec::Check{.kind = "codex-login"});
    MoveIn::Env e = env({{"x"}, {"x"}});
    e.command = [](const QString&) -> std::optional<QString> { return QString("Not logged in\n"); };
    EXPECT_FALSE(MoveIn::state(codex, e).isGreen());
    EXPECT_EQ(MoveIn::state(codex, env({{"x"}, {"x"}})),
              State::cannotCheck("Codex is not installed on this Mac"));
}

TEST(MoveInRules, CodexReadsOnlyALineThatBeginsWithLoggedIn) {
    const MoveInSpec spec = row(MoveInSpec::Check{.kind = "codex-login"});
    const struct {
        const char* output;
        bool green;
    } cases[] = {
        {"Logged in using ChatGPT\n", true},
        {"WARNING: something\nLogged in using an API key - sk-proj-***\n", true},
        {"Not logged in\n", false},
        {"not logged in", false},
        {"logged in using ChatGPT", false},
        {"", false},
        {"env: node: No such file or directory\n", false},
    };
    for (const auto& c : cases) {
        MoveIn::Env e = env();
        e.command = [&c](const QString& name) -> std::optional<QString> {
            return name == "codex-login" ? std::optional<QString>(c.output) : std::nullopt;
        };
        EXPECT_EQ(MoveIn::state(spec, e).isGreen(), c.green) << c.output;
    }
}

TEST(MoveInRules, CodesignLooksOnlyAtTheListedIdentities) {
    const QString listing =
        "  1) 0123ABCD \"Apple Development: Anna (X1)\"\n"
        "  2) 4567EF01 \"Developer ID Application: Anna (X1)\"\n"
        "     2 valid identities found\n";
    const struct {
        std::optional<QString> contains;
        QString output;
        std::optional<QString> green;
    } cases[] = {
        {QString("Developer ID Application"), listing, QString("Developer ID Application: Anna (X1)")},
        {std::nullopt, listing, QString("Apple Development: Anna (X1)")},
        {QString("valid identities"), listing, std::nullopt},
        {std::nullopt, "     0 valid identities found\n", std::nullopt},
        {QString("Developer ID Application"), "  1) 0123ABCD \"Apple Development: Anna (X1)\"\n",
         std::nullopt},
    };
    for (const auto& c : cases) {
        MoveIn::Env e = env();
        e.command = [&c](const QString& name) -> std::optional<QString> {
            return name == "codesign" ? std::optional<QString>(c.output) : std::nullopt;
        };
        const State state =
            MoveIn::state(row(MoveInSpec::Check{.kind = "codesign-identity", .contains = c.contains}), e);
        EXPECT_EQ(state.isGreen(), c.green.has_value()) << c.contains.value_or("-").toStdString();
        if (c.green) {
            EXPECT_EQ(state.text, c.green);
        }
    }
    EXPECT_EQ(MoveIn::state(row(MoveInSpec::Check{.kind = "codesign-identity"}), env()).kind,
              State::Kind::cannotCheck);
}

TEST(MoveInRules, InstalledAndExistingFollowTheirProbes) {
    MoveIn::Env yes = env();
    yes.installed = [](const QString& bundle) { return bundle == "com.example.app"; };
    yes.exists = [](const QString& path) { return path == "~/there"; };
    EXPECT_TRUE(
        MoveIn::state(row(MoveInSpec::Check{.kind = "app-installed", .bundle = QString("com.example.app")}),
                      yes)
            .isGreen());
    EXPECT_FALSE(
        MoveIn::state(row(MoveInSpec::Check{.kind = "app-installed", .bundle = QString("com.other")}), yes)
            .isGreen());
    EXPECT_TRUE(MoveIn::state(row(MoveInSpec::Check{.kind = "file-exists", .path = QString("~/there")}), yes)
                    .isGreen());
    EXPECT_FALSE(
        MoveIn::state(row(MoveInSpec::Check{.kind = "file-exists", .path = QString("~/elsewhere")}), yes)
            .isGreen());
}

TEST(MoveInRules, StatusTextsFollowTheState) {
    EXPECT_EQ(MoveIn::evaluate(row(std::nullopt), env({{}, {"x"}})),
              KTReconnectStatus::connected("You confirmed this"));
    MoveInSpec noHow = row(std::nullopt);
    noHow.how = QString();
    EXPECT_EQ(MoveIn::evaluate(noHow, env()), KTReconnectStatus::needsAction());
    const MoveInSpec file = row(MoveInSpec::Check{.kind = "file-newer-than", .paths = QStringList{"/p"}});
    MoveIn::Env e = env();
    e.newest = [](const QString&) -> std::optional<QDateTime> { return kFresh; };
    const KTReconnectStatus opened = MoveIn::evaluate(file, e);
    EXPECT_EQ(opened.kind(), KTReconnectStatus::Kind::needsAction);
    EXPECT_TRUE(opened.text()->startsWith("Opened ")) << opened.text()->toStdString();
    EXPECT_TRUE(opened.text()->contains(MoveIn::timeLine(kFresh)));
}

TEST(MoveInRules, TheButtonLeadsFromOpenToConfirmToDone) {
    const MoveInSpec::Action site{QString("https://example.com"), std::nullopt};
    const MoveInSpec signIn = row(std::nullopt, site, QString("Sign in"));
    EXPECT_EQ(MoveIn::label(signIn, env()), "Sign in");
    EXPECT_EQ(MoveIn::label(signIn, env({{"x"}, {}})), "Confirm");
    EXPECT_EQ(MoveIn::label(signIn, env({{"x"}, {"x"}})), "Done");
    EXPECT_EQ(MoveIn::label(row(std::nullopt, site), env()), "Open");
    // Nothing to open: the person can only confirm.
    EXPECT_EQ(MoveIn::label(row(std::nullopt), env()), "Confirm");
    // A checked row shows what it would open, never Confirm.
    const MoveInSpec codex = row(MoveInSpec::Check{.kind = "codex-login"}, site);
    MoveIn::Env out = env({{"x"}, {}});
    out.command = [](const QString&) -> std::optional<QString> { return QString("Not logged in"); };
    EXPECT_EQ(MoveIn::label(codex, out), "Open");
    EXPECT_EQ(MoveIn::label(row(MoveInSpec::Check{.kind = "codex-login"}), out), "Check again");
    // A file written since the move: confirm it.
    const MoveInSpec file =
        row(MoveInSpec::Check{.kind = "file-newer-than", .paths = QStringList{"/p"}}, site);
    MoveIn::Env fresh = env();
    fresh.newest = [](const QString&) -> std::optional<QDateTime> { return kFresh; };
    EXPECT_EQ(MoveIn::label(file, fresh), "Confirm");
}

TEST(MoveInRules, TimeLineSaysTodayOrTheMonthAndDay) {
    const QDateTime now(QDate(2026, 3, 4), QTime(18, 30));
    EXPECT_EQ(MoveIn::timeLine(QDateTime(QDate(2026, 3, 4), QTime(9, 5)), now), "today at 09:05");
    EXPECT_EQ(MoveIn::timeLine(QDateTime(QDate(2026, 3, 3), QTime(23, 59)), now), "Mar 3 at 23:59");
    EXPECT_EQ(MoveIn::timeLine(QDateTime(QDate(2025, 12, 25), QTime(7, 0)), now), "Dec 25 at 07:00");
}

}  // namespace
}  // namespace rk
