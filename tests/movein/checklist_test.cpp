// The checklist's rows: the list and its marks as read from their files,
// what each row says and which button it shows beyond the self-test's table,
// and the record of the Mac this copy last ran on (beyond the device
// self-test of the run).

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "movein/DeviceMove.h"
#include "movein/MoveIn.h"
#include "support/TempRoot.h"

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
    EXPECT_EQ(MoveIn::evaluate(row(ax), probes),
              KTReconnectStatus::needsAction(QString("Not allowed yet: b, c")));
}

TEST(MoveInRules, StatusTextsAndButtonsFollowTheState) {
    MoveInSpec noHow = row(std::nullopt);
    noHow.how = QString();
    EXPECT_EQ(MoveIn::evaluate(noHow, env()), KTReconnectStatus::needsAction());
    EXPECT_EQ(MoveIn::evaluate(row(Check{.kind = "file-newer-than", .paths = QStringList{"/p"}}), fresh()),
              KTReconnectStatus::needsAction("Opened " + MoveIn::timeLine(kFresh) +
                                             ". Press Confirm once it works."));
    // The time line says today or the month and day.
    const QDateTime now(QDate(2026, 3, 4), QTime(18, 30));
    EXPECT_EQ(MoveIn::timeLine(QDateTime(QDate(2026, 3, 4), QTime(9, 5)), now), "today at 09:05");
    EXPECT_EQ(MoveIn::timeLine(QDateTime(QDate(2026, 3, 3), QTime(23, 59)), now), "Mar 3 at 23:59");
    // The button leads from the action to Confirm to Done (the check mode shows the other labels).
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

TEST(MoveInList, ReadsEveryFieldOfARowAndSkipsOnlyBadRows) {
    const MoveInList list = MoveIn::loadList(QByteArray(R"({"since": 1700000000.5, "rows": [{
        "id": "box", "title": "Box", "group": "Apps", "systemImage": "shippingbox", "actionLabel": "Open Box",
        "optional": true, "how": "Sign in again.", "note": "Files sync later.",
        "check": {"kind": "process-and-file-newer", "tier": "verified", "bundle": "com.example.box",
                  "clients": ["a", 1], "service": "s", "alsoAccept": ["t"], "path": "~/Box",
                  "paths": ["~/A", "~/B"], "process": "Box", "contains": "c"},
        "action": {"url": "https://example.com", "app": "com.example.box"}}]})"));
    ASSERT_EQ(list.specs.size(), 1);
    EXPECT_EQ(list.since, QDateTime::fromMSecsSinceEpoch(1700000000500LL, Qt::UTC));
    const QString box("Box");
    EXPECT_EQ(list.specs.first(), (MoveInSpec{.id = "box",
                                              .title = box,
                                              .group = QString("Apps"),
                                              .systemImage = QString("shippingbox"),
                                              .actionLabel = QString("Open Box"),
                                              .optional = true,
                                              .how = QString("Sign in again."),
                                              .note = QString("Files sync later."),
                                              .check = MoveInSpec::Check{.kind = "process-and-file-newer",
                                                                         .tier = QString("verified"),
                                                                         .bundle = QString("com.example.box"),
                                                                         .clients = QStringList{"a"},
                                                                         .service = QString("s"),
                                                                         .alsoAccept = QStringList{"t"},
                                                                         .path = QString("~/Box"),
                                                                         .paths = QStringList{"~/A", "~/B"},
                                                                         .process = box,
                                                                         .contains = QString("c")},
                                              .action = MoveInSpec::Action{QString("https://example.com"),
                                                                           QString("com.example.box")}}));
    // Bad data gives an empty list, or a list missing only the bad rows, never a
    // crash; a "since" no date can hold is left out.
    const struct {
        QByteArray data;
        QStringList ids;
    } cases[] = {
        {"", {}},
        {"42", {}},
        {"{\"rows\": 5}", {}},
        {"{\"rows\": {\"id\":\"a\"}}", {}},
        {"[1, \"a\", null, {\"id\":\"a\"}, {\"title\":\"T\"}, {\"id\":\"\",\"title\":\"T\"}, "
         "{\"id\":\"k\",\"title\":\"K\"}]",
         {"k"}},
        {"[{\"id\":5,\"title\":\"T\"}, {\"id\":\"b\",\"title\":\"B\",\"check\":\"tcc\",\"action\":[1]}]",
         {"b"}},
        {"{\"rows\":[{\"id\":\"a\",\"title\":\"A\"}", {}},
        {QByteArray("\xff\xfe\x00", 3), {}},
        {"{\"items\":[{\"id\":\"b\",\"title\":\"B\",\"action\":{}}]}", {"b"}},
    };
    for (const auto& c : cases) {
        QStringList ids;
        for (const MoveInSpec& spec : MoveIn::loadSpecs(c.data)) {
            ids << spec.id;
            EXPECT_FALSE(spec.check || spec.action) << c.data.toStdString();
        }
        EXPECT_EQ(ids, c.ids) << c.data.toStdString();
    }
    for (const char* since : {"1e300", "-1e300", "\"1000\"", "true"}) {
        const QByteArray data =
            QByteArray("{\"since\":") + since + ",\"rows\":[{\"id\":\"a\",\"title\":\"A\"}]}";
        EXPECT_EQ(MoveIn::loadList(data).since, std::nullopt) << since;
        EXPECT_EQ(MoveIn::loadList(data).specs.size(), 1) << since;
    }
}

TEST(MoveInMarks, SurviveASaveAndALoadInTheAppFolderAndBrokenOnesAreNone) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/new"));
    EXPECT_EQ(MoveIn::listURL(), dir.path() + "/new/Rowkeeper/move-in.json");
    const QString path = MoveIn::marksURL();
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(path, dir.path() + "/new/Rowkeeper/move-in-marks.json");
    const MoveIn::Marks marks{{"b", "a"}, {"c"}};
    ASSERT_TRUE(MoveIn::saveMarks(marks, path).ok());
    EXPECT_EQ(MoveIn::loadMarks(path), marks);
    const QByteArray text = test::readFileAt(path);
    EXPECT_LT(text.indexOf("\"a\""), text.indexOf("\"b\"")) << "ids are written in a stable order";
    // A file where the folder should be: the save fails and says so.
    EXPECT_FALSE(MoveIn::saveMarks(marks, path + "/marks.json").ok());
    // A missing or broken file is no marks.
    EXPECT_EQ(MoveIn::loadMarks(QTemporaryDir().path() + "/none.json"), MoveIn::Marks{});
    for (const char* data : {"garbage", "[]", "{\"opened\":\"a\"}"})
        EXPECT_EQ(MoveIn::marksFrom(data), MoveIn::Marks{}) << data;
    EXPECT_EQ(MoveIn::marksFrom(R"({"opened":["a",3,""],"done":null})"), (MoveIn::Marks{{"a"}, {}}));
}

class FakeIdentity final : public MachineIdentity {
public:
    FakeIdentity(std::optional<QString> identity, QString name) : identity(std::move(identity)), name(name) {}
    std::optional<QString> platformIdentity() const override { return identity; }
    QString machineName() const override { return name; }
    std::optional<QString> identity;
    QString name;
};

TEST(DeviceMove, FingerprintIsTheSha256OfTheIdentityAndRecordsItDidNotWrite) {
    EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(QString("0F1E2D3C-UUID"), "Anna's Mac")),
              QString("c5e3392179ad42baff02cfc8c713bf67e598f19cdd5f2177176699bbc421ced1"));
    for (const auto& none : {std::optional<QString>(), std::optional<QString>(QString())})
        EXPECT_EQ(KTDeviceMove::fingerprint(FakeIdentity(none, "x")), std::nullopt);
    // A record without a name is a move from an unnamed Mac; one without a
    // fingerprint is no record: not a move, and rewritten.
    const FakeIdentity mac(QString("id"), "Mac");
    const struct {
        QByteArray data;
        KTDeviceMove::Answer answer;
    } cases[] = {
        {"{\"fingerprint\":\"abc\"}", {true, std::nullopt}},
        {"{}", {}},
        {"{\"fingerprint\":5}", {}},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = KTDeviceMove::recordURL(dir.path());
        ASSERT_TRUE(test::writeFileAt(path, c.data));
        EXPECT_EQ(KTDeviceMove::detect(path, mac), c.answer) << c.data.toStdString();
        EXPECT_EQ(KTDeviceMove::recordFrom(test::readFileAt(path)),
                  (KTDeviceMove::Record{*KTDeviceMove::fingerprint(mac), "Mac"}));
    }
}

// Without an identity there is nothing to compare: a Mac whose identity
// cannot be read must not be taken for a new one, nor wipe the record that
// would let the next launch tell.
TEST(DeviceMove, WithoutAnIdentityNothingIsAMoveAndTheRecordIsKept) {
    QTemporaryDir dir;
    const QString path = KTDeviceMove::recordURL(dir.path() + "/nested/folder");
    ASSERT_EQ(KTDeviceMove::detect(path, FakeIdentity(QString("old"), "Old Mac")), KTDeviceMove::Answer{});
    const QByteArray before = test::readFileAt(path);
    EXPECT_EQ(KTDeviceMove::detect(path, FakeIdentity(std::nullopt, "Who")), KTDeviceMove::Answer{});
    EXPECT_EQ(test::readFileAt(path), before);
    EXPECT_EQ(KTDeviceMove::detect(path, FakeIdentity(QString("new"), "New Mac")),
              (KTDeviceMove::Answer{true, QString("Old Mac")}));
}

TEST(DeviceMove, DetectMoveUsesTheAppFolderAndTheCurrentIdentity) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    FakeIdentity mac(QString("one"), "One");
    MachineIdentity::setCurrent(&mac);
    EXPECT_EQ(MoveIn::detectMove(), MoveIn::Move{});
    EXPECT_TRUE(QFile::exists(dir.path() + "/Rowkeeper/device.json"));
    mac.identity = QString("two");
    EXPECT_EQ(MoveIn::detectMove(), (MoveIn::Move{true, QString("One")}));
    MachineIdentity::setCurrent(nullptr);
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace rk
