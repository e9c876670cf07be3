// The Move-In rules as the self-test holds them: every listed client must be
// allowed, migrated files are not "opened", opening is not confirming, and the
// two tools' outputs are read exactly.

#include <gtest/gtest.h>

#include <functional>

#include "movein/MoveIn.h"

namespace rk {
namespace {

using State = MoveIn::State;

const QDateTime kMove = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
const QDateTime kMigrated = QDateTime::fromSecsSinceEpoch(500, Qt::UTC);
const QDateTime kFresh = QDateTime::fromSecsSinceEpoch(2000, Qt::UTC);

MoveInSpec spec(MoveInSpec::Check check) {
    return MoveInSpec{.id = "x", .title = "TEST", .how = QString("TEST how"), .check = std::move(check)};
}

MoveInSpec::Check tcc(QStringList clients, QString service, std::optional<QStringList> alsoAccept = {}) {
    return {.kind = "tcc-granted", .clients = clients, .service = service, .alsoAccept = alsoAccept};
}

MoveIn::Env env() {
    MoveIn::Env e;
    e.since = kMove;
    return e;
}

MoveIn::Env withRows(QList<std::pair<QString, qint64>> rows, QString service = "kTCCServiceAccessibility") {
    QList<TCCRow> list;
    for (const auto& [client, auth] : rows)
        list << TCCRow{client, 0, service, auth, TCCRow::DB::user};
    MoveIn::Env e = env();
    e.tcc = Result<QList<TCCRow>, StoreError>(list);
    return e;
}

MoveIn::Env newest(QDateTime date) {
    MoveIn::Env e = env();
    e.newest = [date](const QString&) -> std::optional<QDateTime> { return date; };
    return e;
}

MoveIn::Env command(QString output) {
    MoveIn::Env e = env();
    e.command = [output](const QString&) -> std::optional<QString> { return output; };
    return e;
}

MoveIn::Env marks(QSet<QString> opened, QSet<QString> done, MoveIn::Env e = env()) {
    e.marks = MoveIn::Marks{opened, done};
    return e;
}

struct Case {
    const char* label;
    MoveInSpec row;
    MoveIn::Env env;
    std::function<bool(const State&)> passes;
};

bool green(const State& s) {
    return s.isGreen();
}
bool notGreen(const State& s) {
    return !s.isGreen();
}

const MoveInSpec::Check kAccessibility = tcc({"a", "b"}, "kTCCServiceAccessibility");
const MoveInSpec::Check kFileOpened{
    .kind = "file-newer-than", .tier = QString("opened"), .paths = QStringList{"/p"}};
const MoveInSpec::Check kDropbox{.kind = "process-and-file-newer",
                                 .tier = QString("verified"),
                                 .path = QString("/p"),
                                 .process = QString("Dropbox")};
const MoveInSpec::Check kCodex{.kind = "codex-login", .tier = QString("verified")};
const MoveInSpec::Check kCodesign{.kind = "codesign-identity",
                                  .tier = QString("verified"),
                                  .contains = QString("Developer ID Application")};

MoveIn::Env running(MoveIn::Env e) {
    e.running = [](const QString&) { return true; };
    return e;
}

std::vector<Case> cases() {
    MoveIn::Env noAccess = env();
    noAccess.tcc = Result<QList<TCCRow>, StoreError>(fail(StoreError::noAccess()));
    return {
        {"control: every client allowed reads green", spec(kAccessibility), withRows({{"a", 2}, {"b", 2}}),
         green},
        {"decoy: one DENIED client keeps the row open", spec(kAccessibility), withRows({{"a", 2}, {"b", 0}}),
         notGreen},
        {"decoy: one missing client keeps the row open", spec(kAccessibility), withRows({{"a", 2}}),
         notGreen},
        {"decoy: an unreadable database is never green", spec(kAccessibility), noAccess, notGreen},
        {"alsoAccept: Accessibility satisfies send-events",
         spec(tcc({"a"}, "kTCCServicePostEvent", QStringList{"kTCCServiceAccessibility"})),
         withRows({{"a", 2}}), green},
        {"decoy: a MIGRATED file (older than the move) is not opened", spec(kFileOpened), newest(kMigrated),
         [](const State& s) { return s == State::needs(); }},
        {"a file written after the move reads opened, not done", spec(kFileOpened), newest(kFresh),
         [](const State& s) { return s == State::opened(kFresh); }},
        {"control: Confirm turns an opened row green", spec(kFileOpened), marks({}, {"x"}, newest(kFresh)),
         green},
        {"decoy: running with only a migrated file is not done", spec(kDropbox), running(newest(kMigrated)),
         notGreen},
        {"control: running and written since the move is done", spec(kDropbox), running(newest(kFresh)),
         green},
        {"codex: logged in reads green", spec(kCodex), command("Logged in using ChatGPT"), green},
        {"decoy: codex 'Not logged in' is not green", spec(kCodex), command("Not logged in"), notGreen},
        {"codex absent says it cannot check, never green", spec(kCodex), env(),
         [](const State& s) { return s == State::cannotCheck("Codex is not installed on this Mac"); }},
        {"codesign identity follows the keychain", spec(kCodesign),
         command("1) ABC \"Developer ID Application: X\""), green},
        {"codesign identity follows the keychain (none left)", spec(kCodesign),
         command("0 valid identities found"), notGreen},
        {"decoy: opening a sign-in is not marking it done", spec({.kind = "none"}), env(), notGreen},
        {"decoy: opening a sign-in is not marking it done (opened)", spec({.kind = "none"}), marks({"x"}, {}),
         notGreen},
        {"control: the person's own mark reads green", spec({.kind = "none"}), marks({"x"}, {"x"}), green},
    };
}

TEST(MoveInAcceptance, EachRuleHoldsAgainstItsControlsAndDecoys) {
    for (const Case& c : cases()) {
        const State state = MoveIn::state(c.row, c.env);
        EXPECT_TRUE(c.passes(state)) << c.label << " (state kind " << int(state.kind) << ", text "
                                     << state.text.value_or("none").toStdString() << ")";
    }
}

TEST(MoveInAcceptance, AnOpenRowShowsTheListsHowToLine) {
    EXPECT_EQ(MoveIn::evaluate(spec({.kind = "none"}), env()),
              KTReconnectStatus::needsAction(QString("TEST how")));
}

TEST(MoveInAcceptance, RowsWinOverItemsAndSinceIsRead) {
    const QByteArray data =
        "{\"version\":1,\"since\":1000,\"rows\":[{\"id\":\"a\",\"title\":\"A\",\"check\":{\"kind\":\"none\"}}"
        "],"
        "\"items\":[{\"id\":\"b\",\"title\":\"B\"},{\"id\":\"c\",\"title\":\"C\"}]}";
    const MoveInList list = MoveIn::loadList(data);
    ASSERT_EQ(list.specs.size(), 1);
    EXPECT_EQ(list.specs.first().id, "a");
    EXPECT_EQ(list.since, kMove);
}

TEST(MoveInAcceptance, ABareArrayStillReads) {
    EXPECT_EQ(MoveIn::loadSpecs(QByteArray("[{\"id\":\"a\",\"title\":\"A\"}]")).size(), 1);
}

TEST(MoveInAcceptance, ABrokenListFileIsNoRowsNeverACrash) {
    EXPECT_TRUE(MoveIn::loadSpecs(QByteArray("not json")).isEmpty());
    EXPECT_TRUE(MoveIn::loadSpecs(std::nullopt).isEmpty());
}

}  // namespace
}  // namespace rk
