// The explanations: what the page offers (redacted, once per key) and notes
// when no model ran; the rule table; the redaction; who explains the rest
// (the on-device model, or with consent the AI gateway: its address,
// payload, reply, headers and failures); and the install identifier it is sent.

#include "explain/Explainer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "explain/ExplainPage.h"
#include "explain/ExplainRules.h"
#include "explain/GatewayClient.h"
#include "explain/InstallId.h"
#include "explain/Redact.h"
#include "support/ExplainFakes.h"
#include "support/LoopbackServer.h"
#include "support/QtApp.h"

using namespace rk;
using rk::test::FakeAccount;
using rk::test::FakeOnDeviceModel;
using rk::test::LoopbackServer;
using Source = Explanation::Source;
using namespace std::chrono_literals;

namespace {

// The three items of the command-line explanation check.
QList<ExplainItem> sampleItems() {
    return {
        {"t1", "TEST Dropbox Helper", "com.example.TESTdropbox", "TESTdropboxd", "Dropbox, Inc."},
        {"t2", "TEST Sync Agent", "com.example.TESTsyncagent", "TESTsyncagent", "Quindle Widgetworks Ltd"},
        {"t3", "TEST Menu Clock", "com.example.TESTmenuclock", "TESTmenuclock", std::nullopt},
    };
}

// Runs the event loop until `done` or `ms` have passed; whether `done` came.
bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

const FakeAccount anna("anna", "Anna Berg");

class ExplainerTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApp(test::AppKind::core, "explainer_test"); }

    ExplainServices services(OnDeviceModel* model, const GatewayConfig& gateway = {}) {
        ExplainServices s;
        s.onDevice = model;
        s.gateway = gateway;
        s.gateway.installId = "11111111-2222-3333-4444-555555555555";
        s.account = &anna;
        return s;
    }
    GatewayConfig gatewayAt(const LoopbackServer& server) const {
        GatewayConfig config;
        config.baseAddress = server.baseAddress();
        config.clientKey = "secret-client-key";
        config.installId = "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";
        config.connectTimeout = 2s;
        config.requestTimeout = 5s;
        return config;
    }

    FakeOnDeviceModel model;
};

// An item that carries every kind of thing that must not leave the Mac.
QList<ExplainItem> revealingItems() {
    return {
        {"KEY-16.com.anna.tool", "Anna's Tool", "com.anna.tool", "/Users/anna/Library/Tools/annatool",
         "Anna Berg"},
        {"KEY-second", "Zorblax", std::nullopt, std::nullopt, std::nullopt},
    };
}

const QMap<QString, QString> fallback{{"marker", "the caller's fallback"}};

constexpr qint64 agentType = 0x8;
constexpr qint64 daemonType = 0x10;
constexpr qint64 appType = 0x2;
constexpr qint64 on = 0x1;

BTMRecord record(const QString& name, qint64 type, qint64 disposition, std::optional<QString> identifier,
                 std::optional<QString> team = {}) {
    BTMRecord r;
    r.user = "501";
    r.name = name;
    r.type = type;
    r.disposition = disposition;
    r.identifier = std::move(identifier);
    r.teamIdentifier = std::move(team);
    return r;
}

QStringList keys(const QList<ExplainItem>& items) {
    QStringList list;
    for (const auto& item : items)
        list.append(item.key);
    return list;
}

ExplainItem item(const QString& name, std::optional<QString> id = {}, std::optional<QString> file = {},
                 std::optional<QString> vendor = {}) {
    return ExplainItem{QStringLiteral("k"), name, std::move(id), std::move(file), std::move(vendor)};
}

}  // namespace

// Who answers the items the rules do not know: the on-device model when it
// may and can, else the gateway once the person agrees, else nobody.
TEST_F(ExplainerTest, TheModelOrWithConsentTheGatewayAnswersTheRest) {
    struct Case {
        const char* name;
        bool allowOnDevice;
        bool available;
        std::optional<QString> modelFailure;
        int gatewayStatus;  // 0: no gateway configured
        bool agrees;
        Source source;
        int asked;
        int requests;
    } cases[] = {
        {"the on-device model answers", true, true, {}, 0, true, Source::onDevice, 0, 0},
        {"on-device not allowed, no gateway", false, true, {}, 0, true, Source::none, 0, 0},
        {"no on-device model", true, false, {}, 0, true, Source::none, 0, 0},
        {"the model fails", true, true, QString("model busy"), 0, true, Source::none, 0, 0},
        {"the model is used before the gateway", true, true, {}, 200, true, Source::onDevice, 0, 0},
        {"consent refused", false, true, {}, 200, false, Source::none, 1, 0},
        {"the gateway fails", false, true, {}, 500, true, Source::none, 1, 1},
        {"the gateway answers", false, true, {}, 200, true, Source::ai, 1, 1},
    };
    int asked = 0;  // questions put to the person
    const auto answering = [&asked](bool yes) -> ConsentQuestion {
        return [&asked, yes] { return ++asked && yes; };
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeOnDeviceModel local;
        local.isAvailable = c.available;
        local.failure = c.modelFailure;
        local.sentences = {{1, "It keeps your sync agent running."}, {2, "It shows a clock."}};
        LoopbackServer server(false, 4);
        server.reply(
            c.gatewayStatus,
            R"({"answers":[{"ref":0,"what":"It syncs your things."},{"ref":1,"what":"It shows a clock."}]})");
        asked = 0;
        const ExplainRun run =
            Explainer::run(sampleItems(), c.allowOnDevice, answering(c.agrees),
                           services(&local, c.gatewayStatus ? gatewayAt(server) : GatewayConfig{}));
        EXPECT_EQ(run.source, c.source);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(server.requests().size(), c.requests);
        EXPECT_EQ(local.calls, c.allowOnDevice && c.available ? 1 : 0);
        EXPECT_EQ(run.answers["t1"].source, Source::rules);
        if (c.source == Source::none) {
            EXPECT_EQ(run.answers.keys(), QStringList{"t1"});
        } else {
            EXPECT_EQ(run.answers["t3"], (Explanation{"TEST Menu Clock", "It shows a clock.", c.source}));
        }
        // Only the items the rules did not know are asked about.
        EXPECT_FALSE(local.lastPrompt.contains("Dropbox"));
        for (const auto& request : server.requests()) {
            EXPECT_FALSE(request.body.contains("Dropbox"));
        }
    }
    // The host has no model at all; items the rules all know ask nobody.
    const ExplainRun host = Explainer::run(sampleItems(), true, {}, services(&OnDeviceModel::host()));
    EXPECT_EQ(host.source, Source::none);
    asked = 0;
    const ExplainRun known = Explainer::run({sampleItems()[0], {"d2", "Dropbox Web Helper", {}, {}, {}}},
                                            true, answering(true), services(&model));
    EXPECT_EQ(known.source, Source::rules);
    EXPECT_EQ(known.answers.keys(), (QStringList{"d2", "t1"}));
    EXPECT_EQ(known.answers["t1"],
              (Explanation{"TEST Dropbox Helper", known.answers["d2"].what, Source::rules}));
    EXPECT_EQ(model.calls, 0);
    EXPECT_EQ(asked, 0);
}

TEST_F(ExplainerTest, AtMostFortyItemsGoToTheModelOnceEach) {
    QList<ExplainItem> items;
    for (int i = 0; i < 50; ++i)
        items.append({"k" + QString::number(i), "Zorblax " + QString::number(i), {}, {}, {}});
    items.append(items[3]);  // a repeated key is asked once
    for (int n = 1; n <= 50; ++n)
        model.sentences.insert(n, "Sentence " + QString::number(n) + ".");
    const ExplainRun run = Explainer::run(items, true, {}, services(&model));
    EXPECT_EQ(model.lastPrompt.split('\n').size(), Explainer::maxModelItems);
    EXPECT_EQ(run.answers.size(), Explainer::maxModelItems);
    EXPECT_TRUE(run.answers.contains("k39") && !run.answers.contains("k40"));
}

// The threaded dispatch asks and works away from the caller, answers on the
// caller's thread, and drops the answer once its context is gone.
TEST_F(ExplainerTest, TheThreadedDispatchWorksAwayAndAnswersOnTheCallersThread) {
    auto gone = std::make_unique<QObject>();
    QObject context;
    std::promise<void> release;
    const std::shared_future<void> gate = release.get_future().share();
    std::atomic<QThread*> askedOn{nullptr};
    std::atomic<int> asked{0};
    QThread* answeredOn = nullptr;
    QList<ExplainRun> delivered;
    ExplainServices s = services(&model);
    s.gateway.baseAddress = "https://gateway.invalid/";
    s.gateway.clientKey = "k";
    const ConsentQuestion refuse = [&, gate] {
        gate.wait();
        askedOn = QThread::currentThread();
        ++asked;
        return false;
    };
    const auto deliver = [&](ExplainRun r) {
        answeredOn = QThread::currentThread();
        delivered.append(r);
    };
    for (QObject* c : {gone.get(), &context})
        Explainer::explain(sampleItems(), false, refuse, c, deliver, s, ExplainDispatch::threaded());
    gone.reset();
    release.set_value();
    ASSERT_TRUE(waitFor([&] { return !delivered.isEmpty() && asked == 2; }));
    waitFor([] { return false; }, 100);  // whatever the workers post back has had time to arrive
    ASSERT_EQ(delivered.size(), 1);
    EXPECT_EQ(answeredOn, QThread::currentThread());
    EXPECT_TRUE(askedOn.load() && askedOn.load() != QThread::currentThread());
    EXPECT_EQ(delivered[0].source, Source::none);
    EXPECT_EQ(delivered[0].answers.keys(), QStringList{"t1"});
}

TEST(GatewayEndpoint, OnlyHttpsOrLoopbackAddressesAndNoneInATestBuild) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://gateway.example.com", "https://gateway.example.com/v1/call"},
        {"https://gateway.example.com/api/", "https://gateway.example.com/api/v1/call"},
        {"https://gateway.example.com/api", "https://gateway.example.com/api/v1/call"},
        {"  https://gateway.example.com/ ", "https://gateway.example.com/v1/call"},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/v1/call"},
        {"http://localhost:9/", "http://localhost:9/v1/call"},
        {"http://[::1]:9/", "http://[::1]:9/v1/call"},
        {"http://gateway.example.com/", "refused"},
        {"http://10.0.0.5/", "refused"},
        {"ftp://gateway.example.com/", "refused"},
        {"", "refused"},
        {"gateway.example.com", "refused"},
    };
    for (const auto& [base, want] : cases) {
        const auto url = GatewayClient::endpoint(base);
        EXPECT_EQ(url.ok() ? url->toString() : "refused", want) << base;
    }
    // The test build names no gateway: nothing may ever be sent from it.
    EXPECT_FALSE(GatewayConfig::fromBuild().configured());
}

TEST(GatewayPayload, CarriesOnlyRedactedNamesIdentifiersFilesAndVendors) {
    const QByteArray body = GatewayClient::requestBody(revealingItems(), anna);
    for (const char* secret : {"KEY-", "anna", "Anna", "Berg", "/Users", "Library", "/"})
        EXPECT_FALSE(body.contains(secret)) << secret << " in " << body.toStdString();
    const QJsonArray items = QJsonDocument::fromJson(body).object().value("items").toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].toObject(), (QJsonObject{{"file", "usertool"},
                                                {"id", "com.user.tool"},
                                                {"name", "user's Tool"},
                                                {"ref", 0},
                                                {"vendor", "user user"}}));
    EXPECT_EQ(items[1].toObject(), (QJsonObject{{"name", "Zorblax"}, {"ref", 1}}));
}

TEST(GatewayReplyParsing, ReadsSentencesByRefAndIgnoresTheRest) {
    const QList<ExplainItem> items{{"a", "A", {}, {}, {}}, {"b", "B", {}, {}, {}}, {"c", "C", {}, {}, {}}};
    const QByteArray body = R"({"answers":[
        {"ref":1,"what":"  Line one\nline\ttwo. "},
        {"ref":1,"what":"A second answer for b."},
        {"ref":7,"what":"Unknown ref."},
        {"ref":-1,"what":"Negative ref."},
        {"ref":0.5,"what":"Fractional ref."},
        {"ref":"0","what":"Text ref."},
        {"ref":2,"what":""},
        {"ref":0,"what":42},
        {"ref":2,"what":"Half \ud800 a pair."}
    ]})";
    const auto parsed = GatewayClient::parseReply(body, items);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(*parsed, (QMap<QString, QString>{{"b", "Line one line two."}, {"c", "Half \uFFFD a pair."}}));

    const QByteArray tooLong = R"({"answers":[{"ref":0,"what":")" + QByteArray(500, 'x') + "\"}]}";
    EXPECT_TRUE(GatewayClient::parseReply(tooLong, items).value().isEmpty());
    for (const char* bad : {"[1,2]", R"({"answers":{}})", ""})
        EXPECT_FALSE(GatewayClient::parseReply(bad, items).ok()) << bad;
}

TEST_F(ExplainerTest, SendsTheHeadersAndReadsTheAnswers) {
    LoopbackServer server(false, 4);
    server.reply(200, R"({"answers":[{"ref":1,"what":"It does a thing for you."}]})");
    GatewayConfig config = gatewayAt(server);
    config.providerKey = "provider-key";
    const GatewayReply reply = GatewayClient::explain(revealingItems(), config, fallback, anna);
    EXPECT_EQ(reply.failure, std::nullopt);
    EXPECT_EQ(reply.sentences, (QMap<QString, QString>{{"KEY-second", "It does a thing for you."}}));

    ASSERT_EQ(server.requests().size(), 1);
    const auto request = server.requests()[0];
    EXPECT_EQ(request.method + " " + request.path, "POST /v1/call");
    EXPECT_EQ(request.headers.value("authorization"), "Bearer secret-client-key");
    EXPECT_EQ(request.headers.value("x-end-user-id"), "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");
    EXPECT_EQ(request.headers.value("x-provider-key"), "provider-key");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_EQ(request.body, GatewayClient::requestBody(revealingItems(), anna));
    // Without a provider key configured the header is left out.
    GatewayClient::explain(revealingItems(), gatewayAt(server), fallback, anna);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_FALSE(server.requests()[1].headers.contains("x-provider-key"));
}

TEST_F(ExplainerTest, FailuresGiveTheFallbackWithAReason) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString closedPort = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    struct Case {
        const char* what;
        int status;
        QByteArray body;
        QByteArray headers;
        const char* reason;
        QString base = {};  // instead of the gateway's
        QString key = "secret-client-key";
        bool silent = false;
    } cases[] = {
        {"bad JSON", 200, "{not json", "", "not JSON"},
        {"no answers list", 200, R"({"answer":"x"})", "", "no list of answers"},
        {"no usable sentence", 200, R"({"answers":[{"ref":9,"what":"x"}]})", "", "no sentence"},
        {"server error", 500, R"({"answers":[{"ref":0,"what":"x"}]})", "", "HTTP status 500"},
        {"redirect", 302, "", "Location: http://127.0.0.1:1/elsewhere\r\n", "HTTP status 302"},
        {"oversized", 200, QByteArray(GatewayClient::replyCap + 10, ' '), "", "too large"},
        {"silent", 200, "", "", "no answer within", {}, "secret-client-key", true},
        {"closed port", 200, "", "", "could not reach", closedPort},
        // Nothing is sent without a key, nor over plain http to another host.
        {"no key", 200, "", "", "no gateway client key is configured", {}, ""},
        {"plain http", 200, "", "", "does not use https", "http://gateway.example.com/"},
    };
    for (const auto& c : cases) {
        LoopbackServer server(false, 2);
        server.reply(c.status, c.body, c.headers);
        if (c.silent)
            server.silent();
        GatewayConfig config = gatewayAt(server);
        config.baseAddress = c.base.isEmpty() ? config.baseAddress : c.base;
        config.clientKey = c.key;
        // A silent gateway connects at once; only the whole-request limit may end it.
        config.connectTimeout = 250ms;
        config.requestTimeout = 1500ms;
        const GatewayReply reply = GatewayClient::explain(revealingItems(), config, fallback, anna);
        EXPECT_EQ(reply.sentences, fallback) << c.what;
        ASSERT_TRUE(reply.failure) << c.what;
        EXPECT_TRUE(reply.failure->contains(c.reason)) << c.what << ": " << reply.failure->toStdString();
        // A redirect is not followed.
        EXPECT_EQ(server.requests().size(), c.base.isEmpty() && !c.key.isEmpty() ? 1 : 0) << c.what;
    }
}

// Made once and kept under "installID", replacing a stored one that is no
// UUID; first calls on several threads agree on one identifier.
TEST(InstallId, IsMadeOnceAndKeptReplacingAnyThatIsNoUuid) {
    QTemporaryDir dir;
    const QString file = dir.filePath("defaults.ini");
    QSettings(file, QSettings::IniFormat).setValue("installID", "anna@annas-mac");
    std::vector<QString> ids(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < ids.size(); ++i) {
        threads.emplace_back([&, i] {
            QSettings settings(file, QSettings::IniFormat);
            ids[i] = InstallId::value(settings);
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(QUuid::fromString(ids.front()).isNull());
    for (const QString& id : ids)
        EXPECT_EQ(id, ids.front());
    QSettings again(file, QSettings::IniFormat);
    EXPECT_EQ(again.value("installID").toString(), ids.front());
    EXPECT_EQ(InstallId::value(again), ids.front());
}

TEST(ExplainPage, OffersEnabledAgentsAndDaemonsOncePerKeyRedacted) {
    const QList<BTMRecord> records{
        record("Sync", agentType, on, "16.com.vendor.sync"),
        record("Off", agentType, 0, "16.com.vendor.off"),
        record("App only", appType, on, "2.com.vendor.app"),
        record("Backup", daemonType | appType, on | 0x2, "8.com.vendor.backup"),
        record("Sync again", agentType, on, "16.com.vendor.sync"),
        record("No identifier", agentType, on, std::nullopt),
        record("No identifier", daemonType, on, std::nullopt),
        record("Ours", agentType, on, "16.com.maker.rowkeeper", ExplainPage::ownTeamIdentifier()),
        record("Other team", agentType, on, "16.com.other.tool", "ZZZZZZZZZZ"),
    };
    const QList<ExplainItem> items = ExplainPage::loginItems(records, anna);
    EXPECT_EQ(keys(items), (QStringList{"16.com.vendor.sync", "8.com.vendor.backup", "No identifier",
                                        "16.com.other.tool"}));
    EXPECT_EQ(items[0].name, "Sync");  // the first record of a key wins
    // The name, identifier and file are redacted; the key and the vendor are not.
    BTMRecord labelled = record("Anna's Helper", agentType, on, "16.com.anna.helper");
    labelled.bundleIdentifier = "com.anna.bundle";
    labelled.executablePath = "/Users/anna/Applications/Tool.app/Contents/MacOS/annahelper";
    labelled.developerName = "Anna Berg";
    BTMRecord bundleOnly = record("Berg", daemonType, on, "nodot");
    bundleOnly.bundleIdentifier = "org.berg.thing";

    const QList<ExplainItem> redacted = ExplainPage::loginItems({labelled, bundleOnly}, anna);
    ASSERT_EQ(redacted.size(), 2);
    EXPECT_EQ(redacted[0], (ExplainItem{"16.com.anna.helper", "user's Helper", "com.user.helper",
                                        "userhelper", "Anna Berg"}));
    // No label (no dot in the identifier): the bundle identifier stands in.
    EXPECT_EQ(redacted[1], (ExplainItem{"nodot", "user", "org.user.thing", std::nullopt, std::nullopt}));
}

TEST(ExplainPage, NoteCountsMissingItemsOnlyWhenNoModelRanAndWithoutRuleKeepsTheUnknown) {
    const QList<ExplainItem> items{
        {"z", "Zorblax", {}, {}, {}}, {"d", "Dropbox", {}, {}, {}}, {"q", "Q", {}, {}, {}}};
    const Explanation some{"A", "x", Source::rules};
    EXPECT_EQ(ExplainPage::note(items, {{"z", some}, {"d", some}}, Source::none),
              QString("The plain-English explanations did not run for 1 item (no model available, or AI "
                      "explanations are off)."));
    EXPECT_EQ(ExplainPage::note(items, {{"z", some}}, Source::none),
              QString("The plain-English explanations did not run for 2 items (no model available, or AI "
                      "explanations are off)."));
    EXPECT_EQ(ExplainPage::note(items, {}, Source::ai), std::nullopt);
    EXPECT_EQ(ExplainPage::note(items, {{"z", some}, {"d", some}, {"q", some}}, Source::none), std::nullopt);
    EXPECT_EQ(keys(ExplainPage::withoutRule(items)), (QStringList{"z", "q"}));
}

// The short name and the full name's words of three characters or more
// (split at anything but letters and digits) become "user", ignoring case,
// overlapping occurrences whole, composed and decomposed forms alike.
TEST(Redact, ReplacesTheAccountsNamesWithUser) {
    const struct {
        const char* shortName;
        QString fullName;
        QString text;
        const char* want;
    } cases[] = {
        {"anna", "Anna Berg", "com.anna.helper", "com.user.helper"},
        {"anna", "Anna Berg", "ANNA's Sync", "user's Sync"},
        {"anna", "Anna Berg", "AnNaTool", "userTool"},
        {"anna", "Anna Berg", "com.bergtools.anna", "com.usertools.user"},
        {"anna", "Anna Berg", "Dropbox Helper", "Dropbox Helper"},
        {"anna", "Anna Berg", "", ""},
        // "al" and "Li" would blank out syllables of nearly every identifier.
        {"al", "Al Li van Oz", "com.al.lizard.oz", "com.al.lizard.oz"},
        {"al", "Al Li van Oz", "Caravan Tools", "Carauser Tools"},
        {"jdoe", "Anna-Lena O'Brien", "lena.brien.sync", "user.user.sync"},
        {"ana", "", "banana", "buser"},
        {"jose", QString::fromUtf8("Jos\xC3\xA9 Mar\xC3\xADn"), QString::fromUtf8("mari\xCC\x81n.helper"),
         "user.helper"},
        // The replacement may not hold the name itself.
        {"use", "", "com.use.secret", "com.someone.secret"},
    };
    for (const auto& c : cases) {
        const FakeAccount account(c.shortName, c.fullName);
        EXPECT_EQ(Redact::user(c.text, account), QString(c.want)) << c.text.toStdString();
    }
    EXPECT_EQ(Redact::user(std::optional<QString>(), anna), std::nullopt);
    EXPECT_EQ(Redact::user(std::optional<QString>("anna.x"), anna), std::optional<QString>("user.x"));
    EXPECT_EQ(Redact::names(FakeAccount("al", "Al Li van Oz")), QStringList{"van"});
    EXPECT_EQ(Redact::names(FakeAccount("jdoe", "Anna-Lena O'Brien")),
              (QStringList{"jdoe", "Anna", "Lena", "Brien"}));
}

// The replacement "user" can itself hold a name, and can join with the text
// beside it into the name again; neither may leave the name in the result.
TEST(Redact, NeverLeavesANameThatHidesInsideTheReplacement) {
    struct Case {
        const char* shortName;
        const char* fullName;
        const char* text;
    } cases[] = {
        {"use", "", "com.use.secret"}, {"ser", "", "com.ser.secret"},  {"USER", "", "com.user.secret"},
        {"rxy", "", "rxyxy"},          {"abc", "Ser Use", "userland"}, {"nyx", "", "usernyxnyx"},
    };
    for (const auto& c : cases) {
        const FakeAccount account(c.shortName, c.fullName);
        const QString out = Redact::user(c.text, account);
        for (const QString& name : Redact::names(account))
            EXPECT_FALSE(out.contains(name, Qt::CaseInsensitive)) << c.text << " -> " << out.toStdString();
    }
}

TEST(UserAccount, FullNameFromTheCommentAndTheCurrentSeam) {
    EXPECT_EQ(fullNameFromGecos("Anna Berg,Room 4,555,", "anna"), QString("Anna Berg"));
    EXPECT_EQ(fullNameFromGecos("& Smith", "bob"), QString("Bob Smith"));
    EXPECT_EQ(fullNameFromGecos("", "bob"), QString());
    FakeAccount account("anna", "Anna Berg");
    UserAccount::setCurrent(&account);
    EXPECT_EQ(Redact::user("anna.berg"), QString("user.user"));
    UserAccount::setCurrent(nullptr);
    EXPECT_EQ(&UserAccount::current(), &UserAccount::host());
}

// Any of the four texts, ignoring case, as the real helpers carry them: the
// product's word stands between dots, dashes, underscores, spaces or commas.
TEST(ExplainRules, RealHelpersAnswerWithTheirOwnSentenceAndMadeUpNamesNone) {
    struct Case {
        ExplainItem item;
        const char* word;  // reaches the expected rule on its own
    };
    const Case cases[] = {
        {item("x", "COM.GETDROPBOX.DROPBOX.agent"), "dropbox"},
        {item("x", {}, "DropBox-Updater"), "dropbox"},
        {item("x", {}, {}, "DROPBOX, INC."), "dropbox"},
        {item("SetappAgent", "com.setapp.DesktopClient.SetappAgent"), "setapp"},
        {item("Box", "com.box.desktop.helper", {}, "Box, Inc."), "box drive"},
        {item("x", {}, {}, "Box, Inc."), "box drive"},
        {item("Autoupdate", "org.sparkle-project.Sparkle.Autoupdate"), "sparkle"},
        {item("x", "com.teamviewer.teamviewer_service"), "teamviewer"},
        {item("x", "org.pqrs.karabiner.karabiner_console_user_server"), "karabiner"},
        {item("x", "homebrew.mxcl.postgresql@14"), "homebrew"},
    };
    for (const Case& c : cases) {
        const std::string name = c.item.id.value_or(c.item.name).toStdString();
        EXPECT_TRUE(ExplainRules::explain(c.item)) << name;
        EXPECT_EQ(ExplainRules::explain(c.item), ExplainRules::explain(item(c.word))) << name;
    }
    // Made-up names get none.
    const ExplainItem madeUp[] = {
        item("Frobnicator Helper", "com.frobnicate.helperd", "frobd", "Frob Labs"),
        item("TEST Sync Agent", "com.example.TESTsyncagent", "TESTsyncagent", "Quindle Widgetworks Ltd"),
        item("Cloud Drive", "com.example.clouddrive", "clouddrive", "Nimbus Tech"),
        item("user's Helper", "com.user.helper", "helper"),
        // A word never spans two texts.
        item("Drop", "box"),
        // A rule's word inside a longer word names another program.
        item("Reset App", "com.example.resetapp", "resetapp"),
        item("Pi Status", "com.example.pistatus", "pistatus"),
        item("Toolbox Agent", "com.example.toolbox", "toolboxd", "Toolbox, Inc."),
        item("Parallel Search", "com.example.parallelsearch", "parallelsearchd"),
        item("Steamboat Notes", "com.example.steamboat"),
    };
    for (const ExplainItem& candidate : madeUp)
        EXPECT_FALSE(ExplainRules::explain(candidate)) << candidate.name.toStdString();
}

// Guards the table as data: each word reaches its own rule, and each
// sentence is one plain sentence to the person.
TEST(ExplainRules, EveryWordReachesItsOwnSentenceOfOneLineToYou) {
    static const QRegularExpression you(QStringLiteral("\\byour?\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    ASSERT_GE(ExplainRules::table().size(), 30);
    for (const auto& rule : ExplainRules::table()) {
        for (const QString& word : rule.words)
            EXPECT_EQ(ExplainRules::explain(item(word)), rule.sentence) << word.toStdString();
        const std::string text = rule.sentence.toStdString();
        EXPECT_TRUE(rule.sentence.endsWith('.')) << text;
        EXPECT_EQ(rule.sentence.count(QStringLiteral(". ")), 0) << text;
        EXPECT_TRUE(you.match(rule.sentence).hasMatch()) << text;
        EXPECT_LE(rule.sentence.size(), 160) << text;
    }
}
