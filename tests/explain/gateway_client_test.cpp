#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

#include "explain/GatewayClient.h"
#include "support/ExplainFakes.h"
#include "support/LoopbackServer.h"
#include "support/QtApp.h"

using namespace rk;
using namespace std::chrono_literals;
using rk::test::FakeAccount;
using rk::test::LoopbackServer;

namespace {

const FakeAccount anna("anna", "Anna Berg");

// An item that carries every kind of thing that must not leave the Mac.
QList<ExplainItem> revealingItems() {
    return {
        {"KEY-16.com.anna.tool", "Anna's Tool", "com.anna.tool", "/Users/anna/Library/Tools/annatool",
         "Anna Berg"},
        {"KEY-second", "Zorblax", std::nullopt, std::nullopt, std::nullopt},
    };
}

const QMap<QString, QString> fallback{{"marker", "the caller's fallback"}};

class GatewayClientTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApp(test::AppKind::core, "gateway_client_test"); }

    GatewayConfig configFor(const LoopbackServer& server) const {
        GatewayConfig config;
        config.baseAddress = server.baseAddress();
        config.clientKey = "secret-client-key";
        config.installId = "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";
        config.connectTimeout = 2s;
        config.requestTimeout = 5s;
        return config;
    }
};

}  // namespace

TEST(GatewayEndpoint, OnlyHttpsOrLoopbackAddresses) {
    struct Case {
        const char* base;
        const char* want;  // nullptr: refused
    } cases[] = {
        {"https://gateway.example.com", "https://gateway.example.com/v1/call"},
        {"https://gateway.example.com/api/", "https://gateway.example.com/api/v1/call"},
        {"https://gateway.example.com/api", "https://gateway.example.com/api/v1/call"},
        {"  https://gateway.example.com/ ", "https://gateway.example.com/v1/call"},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/v1/call"},
        {"http://localhost:9/", "http://localhost:9/v1/call"},
        {"http://[::1]:9/", "http://[::1]:9/v1/call"},
        {"http://gateway.example.com/", nullptr},
        {"http://10.0.0.5/", nullptr},
        {"ftp://gateway.example.com/", nullptr},
        {"", nullptr},
        {"gateway.example.com", nullptr},
    };
    for (const auto& c : cases) {
        const auto url = GatewayClient::endpoint(c.base);
        if (c.want) {
            ASSERT_TRUE(url.ok()) << c.base;
            EXPECT_EQ(url->toString(), QString(c.want)) << c.base;
        } else {
            EXPECT_FALSE(url.ok()) << c.base;
        }
    }
}

TEST(GatewayPayload, CarriesOnlyRedactedNamesIdentifiersFilesAndVendors) {
    const QByteArray body = GatewayClient::requestBody(revealingItems(), anna);
    for (const char* secret : {"KEY-", "anna", "Anna", "Berg", "/Users", "Library", "/"}) {
        EXPECT_FALSE(body.contains(secret)) << secret << " in " << body.toStdString();
    }
    const QJsonObject root = QJsonDocument::fromJson(body).object();
    const QJsonArray items = root.value("items").toArray();
    ASSERT_EQ(items.size(), 2);
    const QJsonObject first = items[0].toObject();
    EXPECT_EQ(first.keys(), (QStringList{"file", "id", "name", "ref", "vendor"}));
    EXPECT_EQ(first.value("name").toString(), "user's Tool");
    EXPECT_EQ(first.value("id").toString(), "com.user.tool");
    EXPECT_EQ(first.value("file").toString(), "usertool");
    EXPECT_EQ(first.value("vendor").toString(), "user user");
    EXPECT_EQ(first.value("ref").toInt(), 0);
    EXPECT_EQ(items[1].toObject().keys(), (QStringList{"name", "ref"}));
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
        {"ref":0,"what":42}
    ]})";
    const auto parsed = GatewayClient::parseReply(body, items);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(*parsed, (QMap<QString, QString>{{"b", "Line one line two."}}));

    const QString longSentence(500, 'x');
    const auto tooLong = GatewayClient::parseReply(
        QJsonDocument(QJsonObject{{"answers", QJsonArray{QJsonObject{{"ref", 0}, {"what", longSentence}}}}})
            .toJson(),
        items);
    ASSERT_TRUE(tooLong.ok());
    EXPECT_TRUE(tooLong->isEmpty());

    for (const char* bad : {"[1,2]", R"({"answers":{}})", ""}) {
        EXPECT_FALSE(GatewayClient::parseReply(bad, items).ok()) << bad;
    }
}

TEST_F(GatewayClientTest, SendsTheHeadersAndReadsTheAnswers) {
    LoopbackServer server(false, 4);
    server.reply(200, R"({"answers":[{"ref":1,"what":"It does a thing for you."}]})");
    GatewayConfig config = configFor(server);
    config.providerKey = "provider-key";
    const GatewayReply reply = GatewayClient::explain(revealingItems(), config, fallback, anna);
    EXPECT_EQ(reply.failure, std::nullopt);
    EXPECT_EQ(reply.sentences, (QMap<QString, QString>{{"KEY-second", "It does a thing for you."}}));

    ASSERT_EQ(server.requests().size(), 1);
    const auto request = server.requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/call");
    EXPECT_EQ(request.headers.value("authorization"), "Bearer secret-client-key");
    EXPECT_EQ(request.headers.value("x-end-user-id"), "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");
    EXPECT_EQ(request.headers.value("x-provider-key"), "provider-key");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_EQ(request.body, GatewayClient::requestBody(revealingItems(), anna));
    // Without a provider key configured the header is left out.
    GatewayClient::explain(revealingItems(), configFor(server), fallback, anna);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_FALSE(server.requests()[1].headers.contains("x-provider-key"));
}

TEST_F(GatewayClientTest, FailuresGiveTheFallbackWithAReason) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString closedPort = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    enum class Server { answers, silent, closed, noKey, plainHttp };
    struct Case {
        const char* what;
        int status;
        QByteArray body;
        QByteArray headers;
        const char* reason;
        Server server = Server::answers;
    } cases[] = {
        {"bad JSON", 200, "{not json", "", "not JSON"},
        {"no answers list", 200, R"({"answer":"x"})", "", "no list of answers"},
        {"no usable sentence", 200, R"({"answers":[{"ref":9,"what":"x"}]})", "", "no sentence"},
        {"server error", 500, R"({"answers":[{"ref":0,"what":"x"}]})", "", "HTTP status 500"},
        {"redirect", 302, "", "Location: http://127.0.0.1:1/elsewhere\r\n", "HTTP status 302"},
        {"oversized", 200, QByteArray(GatewayClient::replyCap + 10, ' '), "", "too large"},
        {"silent", 200, "", "", "no answer within", Server::silent},
        {"closed port", 200, "", "", "could not reach", Server::closed},
        // Nothing is sent without a key, nor over plain http to another host.
        {"no key", 200, "", "", "no gateway client key is configured", Server::noKey},
        {"plain http", 200, "", "", "does not use https", Server::plainHttp},
    };
    for (const auto& c : cases) {
        LoopbackServer server(false, 2);
        server.reply(c.status, c.body, c.headers);
        if (c.server == Server::silent)
            server.silent();
        GatewayConfig config = configFor(server);
        if (c.server == Server::closed)
            config.baseAddress = closedPort;
        if (c.server == Server::noKey)
            config.clientKey.clear();
        if (c.server == Server::plainHttp)
            config.baseAddress = "http://gateway.example.com/";
        // A silent gateway connects at once; only the whole-request limit may end it.
        config.connectTimeout = 250ms;
        config.requestTimeout = 1500ms;
        const GatewayReply reply = GatewayClient::explain(revealingItems(), config, fallback, anna);
        EXPECT_EQ(reply.sentences, fallback) << c.what;
        ASSERT_TRUE(reply.failure) << c.what;
        EXPECT_TRUE(reply.failure->contains(c.reason)) << c.what << ": " << reply.failure->toStdString();
        // A redirect is not followed.
        EXPECT_EQ(server.requests().size(), c.server == Server::answers || c.server == Server::silent ? 1 : 0)
            << c.what;
    }
}

TEST(GatewayBuildSettings, ADefaultBuildIsNotConfigured) {
    // The test build names no gateway: nothing may ever be sent from it.
    EXPECT_FALSE(GatewayConfig::fromBuild().configured());
}
