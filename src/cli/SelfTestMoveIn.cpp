#include "cli/SelfTestMoveIn.h"

#include <QDateTime>

#include "movein/MoveIn.h"

namespace rk {

namespace {

const QDateTime kMove = QDateTime::fromSecsSinceEpoch(1000);
const QDateTime kMigrated = QDateTime::fromSecsSinceEpoch(500);
const QDateTime kFresh = QDateTime::fromSecsSinceEpoch(2000);
const QString kAccessibility = QStringLiteral("kTCCServiceAccessibility");

MoveInSpec spec(MoveInSpec::Check check) {
    MoveInSpec made;
    made.id = QStringLiteral("x");
    made.title = QStringLiteral("TEST");
    made.check = std::move(check);
    made.how = QStringLiteral("TEST how");
    return made;
}

MoveInSpec::Check kind(const QString& name, std::optional<QString> tier = std::nullopt) {
    MoveInSpec::Check check;
    check.kind = name;
    check.tier = std::move(tier);
    return check;
}

// The inert environment with the move date set.
MoveIn::Env env() {
    MoveIn::Env made;
    made.since = kMove;
    return made;
}

MoveIn::Env withNewest(const QDateTime& date) {
    MoveIn::Env made = env();
    made.newest = [date](const QString&) -> std::optional<QDateTime> { return date; };
    return made;
}

MoveIn::Env withCommand(const QString& output) {
    MoveIn::Env made = env();
    made.command = [output](const QString&) -> std::optional<QString> { return output; };
    return made;
}

// Privacy rows (client, authorisation value) for `service`, client type 0.
MoveIn::Env withTcc(const QList<std::pair<QString, qint64>>& rows, const QString& service = kAccessibility) {
    QList<TCCRow> made;
    for (const auto& [client, authValue] : rows)
        made.append(TCCRow{client, 0, service, authValue, TCCRow::DB::user});
    MoveIn::Env e = env();
    e.tcc = Result<QList<TCCRow>, StoreError>(made);
    return e;
}

MoveIn::Env withMarks(const QSet<QString>& opened, const QSet<QString>& done) {
    MoveIn::Env made = env();
    made.marks = MoveIn::Marks{opened, done};
    return made;
}

bool green(const MoveInSpec& row, const MoveIn::Env& e) {
    return MoveIn::state(row, e).isGreen();
}

QList<QString> ids(const QList<MoveInSpec>& specs) {
    QList<QString> made;
    for (const MoveInSpec& s : specs)
        made.append(s.id);
    return made;
}

void privacyChecks(SelfTestChecks& checks) {
    MoveInSpec::Check both = kind(QStringLiteral("tcc-granted"));
    both.clients = QStringList{"a", "b"};
    both.service = kAccessibility;
    const MoveInSpec row = spec(both);
    checks.check(green(row, withTcc({{"a", 2}, {"b", 2}})), "control: every client allowed reads green");
    checks.check(!green(row, withTcc({{"a", 2}, {"b", 0}})), "decoy: one DENIED client keeps the row open");
    checks.check(!green(row, withTcc({{"a", 2}})), "decoy: one missing client keeps the row open");
    MoveIn::Env unreadable = env();
    unreadable.tcc = Result<QList<TCCRow>, StoreError>(fail(StoreError::noAccess()));
    checks.check(!green(row, unreadable), "decoy: an unreadable database is never green");

    MoveInSpec::Check sendEvents = kind(QStringLiteral("tcc-granted"));
    sendEvents.clients = QStringList{"a"};
    sendEvents.service = QStringLiteral("kTCCServicePostEvent");
    sendEvents.alsoAccept = QStringList{kAccessibility};
    checks.check(green(spec(sendEvents), withTcc({{"a", 2}})),
                 "alsoAccept: Accessibility satisfies send-events");
}

void fileChecks(SelfTestChecks& checks) {
    MoveInSpec::Check opened = kind(QStringLiteral("file-newer-than"), QStringLiteral("opened"));
    opened.paths = QStringList{"/p"};
    const MoveInSpec row = spec(opened);
    checks.check(MoveIn::state(row, withNewest(kMigrated)) == MoveIn::State::needs(),
                 "decoy: a MIGRATED file (older than the move) is not opened");
    checks.check(MoveIn::state(row, withNewest(kFresh)) == MoveIn::State::opened(kFresh),
                 "a file written after the move reads opened, not done");
    MoveIn::Env confirmed = withNewest(kFresh);
    confirmed.marks.done = {QStringLiteral("x")};
    checks.check(green(row, confirmed), "control: Confirm turns an opened row green");

    MoveInSpec::Check dropbox = kind(QStringLiteral("process-and-file-newer"), QStringLiteral("verified"));
    dropbox.path = QStringLiteral("/p");
    dropbox.process = QStringLiteral("Dropbox");
    const auto running = [](const QDateTime& date) {
        MoveIn::Env e = withNewest(date);
        e.running = [](const QString&) { return true; };
        return e;
    };
    checks.check(!green(spec(dropbox), running(kMigrated)),
                 "decoy: running with only a migrated file is not done");
    checks.check(green(spec(dropbox), running(kFresh)),
                 "control: running and written since the move is done");
}

void toolChecks(SelfTestChecks& checks) {
    const MoveInSpec codex = spec(kind(QStringLiteral("codex-login"), QStringLiteral("verified")));
    checks.check(green(codex, withCommand(QStringLiteral("Logged in using ChatGPT"))),
                 "codex: logged in reads green");
    checks.check(!green(codex, withCommand(QStringLiteral("Not logged in"))),
                 "decoy: codex 'Not logged in' is not green");
    checks.check(MoveIn::state(codex, env()) ==
                     MoveIn::State::cannotCheck(QStringLiteral("Codex is not installed on this Mac")),
                 "codex absent says it cannot check, never green");

    MoveInSpec::Check identity = kind(QStringLiteral("codesign-identity"), QStringLiteral("verified"));
    identity.contains = QStringLiteral("Developer ID Application");
    const MoveInSpec codesign = spec(identity);
    checks.check(green(codesign, withCommand(QStringLiteral("1) ABC \"Developer ID Application: X\""))) &&
                     !green(codesign, withCommand(QStringLiteral("0 valid identities found"))),
                 "codesign identity follows the keychain");
}

void markChecks(SelfTestChecks& checks) {
    const MoveInSpec none = spec(kind(QStringLiteral("none")));
    checks.check(!green(none, env()) && !green(none, withMarks({QStringLiteral("x")}, {})),
                 "decoy: opening a sign-in is not marking it done");
    checks.check(green(none, withMarks({QStringLiteral("x")}, {QStringLiteral("x")})),
                 "control: the person's own mark reads green");
    checks.check(MoveIn::evaluate(none, env()) == KTReconnectStatus::needsAction(QStringLiteral("TEST how")),
                 "an open row shows the list's how-to line");
}

void listChecks(SelfTestChecks& checks) {
    const MoveInList list = MoveIn::loadList(
        QByteArray(R"({"version":1,"since":1000,"rows":[{"id":"a","title":"A","check":{"kind":"none"}}],)"
                   R"("items":[{"id":"b","title":"B"},{"id":"c","title":"C"}]})"));
    checks.check(ids(list.specs) == QList<QString>{"a"} && list.since == kMove,
                 "rows win over items, and since is read");
    checks.check(MoveIn::loadSpecs(QByteArray(R"([{"id":"a","title":"A"}])")).size() == 1,
                 "a bare array still reads");
    checks.check(
        MoveIn::loadSpecs(QByteArray("not json")).isEmpty() && MoveIn::loadSpecs(std::nullopt).isEmpty(),
        "decoy: a broken list file is no rows, never a crash");
}

}  // namespace

void SelfTestMoveIn::run(SelfTestChecks& checks) {
    privacyChecks(checks);
    fileChecks(checks);
    toolChecks(checks);
    markChecks(checks);
    listChecks(checks);
}

}  // namespace rk
