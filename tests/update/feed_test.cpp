// The update feed: what a feed document must hold, how versions order, and
// what a fetch over HTTPS yields.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/LoopbackGateway.h"
#include "support/LoopbackHttps.h"
#include "support/Printers.h"
#include "support/QtApp.h"
#include "update/KTUpdate.h"
#include "update/UpdateFeed.h"

namespace rk {
namespace {

using namespace KTUpdate;
using namespace std::chrono_literals;

const QString kDigest = QString(32, 'a') + QString(32, 'b');

QJsonObject plainFeed() {
    return {{"version", "1.4.2"}, {"url", "https://example.com/a.zip"}, {"sha256", kDigest}};
}

Appcast entry(const std::function<void(Appcast&)>& change = [](Appcast&) {}) {
    Appcast a;
    a.version = "1.4.2";
    a.url = QUrl("https://example.com/a.zip");
    a.sha256 = kDigest;
    change(a);
    return a;
}

TEST(UpdateFeed, ReadsEachKeyByItsRule) {
    const std::optional<Appcast> invalid;
    const QDateTime nineThirty(QDate(2026, 3, 1), QTime(9, 30), Qt::UTC);
    const struct {
        const char* key;
        QJsonValue value;  // Undefined: the key is left out
        std::optional<Appcast> want;
    } rows[] = {
        {"version", QJsonValue::Undefined, invalid},
        {"version", 142, invalid},
        {"url", QJsonValue::Undefined, invalid},
        {"url", "http://example.com/a.zip", invalid},
        {"url", "HTTPS://example.com/a.zip", invalid},
        {"url", "https://exa mple.com/a.zip", invalid},
        {"sha256", kDigest.toUpper(), entry()},
        {"sha256", kDigest.left(63), invalid},
        {"sha256", kDigest + "a", invalid},
        {"build", 57, entry([](Appcast& a) { a.build = 57; })},
        {"build", "+57", entry([](Appcast& a) { a.build = 57; })},
        {"build", " 57", entry()},
        {"build", "5a", entry()},
        {"build", 57.5, entry()},
        {"build", true, entry()},
        {"notes", "", entry()},
        {"notes", "Fixes the list.", entry([](Appcast& a) { a.notes = "Fixes the list."; })},
        {"notes_url", "http://example.com/n", entry()},
        {"notes_url", "https://example.com/n",
         entry([](Appcast& a) { a.notesURL = QUrl("https://example.com/n"); })},
        {"min_macos", "26.1", entry([](Appcast& a) { a.minMacOS = "26.1"; })},
        {"min_macos", 26, entry()},
        {"critical", true, entry([](Appcast& a) { a.critical = true; })},
        {"critical", "true", entry()},
        {"pubdate", "2026-03-01T09:30:00Z", entry([&](Appcast& a) { a.published = nineThirty; })},
        {"pubdate", "2026-03-01T10:30:00+01:00", entry([&](Appcast& a) { a.published = nineThirty; })},
        {"pubdate", "2026-03-01", entry()},
        {"pubdate", "2026-03-01T09:30:00", entry()},
        {"pubdate", "2026-03-01T09:30:00.5Z", entry()},
        {"pubdate", "2026-02-30T09:30:00Z", entry()},
    };
    for (const auto& row : rows) {
        QJsonObject feed = plainFeed();
        if (row.value.isUndefined())
            feed.remove(row.key);
        else
            feed.insert(row.key, row.value);
        EXPECT_EQ(parseAppcast(QJsonDocument(feed).toJson()), row.want)
            << row.key << " "
            << QJsonDocument(QJsonArray{row.value}).toJson(QJsonDocument::Compact).constData();
    }
    EXPECT_EQ(parseAppcast("[1]"), invalid);
    EXPECT_EQ(parseAppcast("{\"version\": "), invalid);
}

TEST(UpdateFeed, ComparesVersionsPieceByPiece) {
    using O = std::strong_ordering;
    const std::tuple<const char*, const char*, O> rows[] = {
        {"1.10", "1.9", O::greater}, {"1.2", "1.2.0", O::equal}, {"2.0b1", "2.0", O::equal},
        {"1.2a", "1.2.1", O::less},  {"1..2", "1.2", O::equal},  {"", "0.0", O::equal},
        {"1. 2", "1", O::equal},     {"-1", "+0", O::less},
    };
    for (const auto& [a, b, want] : rows)
        EXPECT_TRUE(compareVersions(a, b) == want) << a << " against " << b;
}

TEST(UpdateFeed, OnlyATrustedAnswerWithStatus200GivesABody) {
    test::ensureApp(test::AppKind::core, "update_feed_test");
    test::LoopbackHttps server;
    ASSERT_NE(server.base(), "");
    const QByteArray document = QJsonDocument(plainFeed()).toJson();
    server.answer("/lark-spur/appcast.json", {200, document});
    feedBase = server.base();
    appKey = "lark-spur";
    const auto fetched = [] {
        std::optional<Appcast> feed;
        q().sync([&] { feed = fetchAppcast(10s); });
        return feed;
    };
    EXPECT_EQ(fetched(), std::nullopt) << "a certificate nobody vouches for";
    server.trustInThisProcess();
    EXPECT_EQ(fetched(), parseAppcast(document));

    // A plain server that would answer, were the redirect to it followed.
    test::LoopbackGateway plain;
    plain.reply(200, "the archive");
    server.answer("/s200", {200, "the archive"});
    const std::pair<const char*, test::LoopbackHttps::Answer> nothing[] = {
        {"/s204", {204}},
        {"/s304", {304}},
        {"/s404", {404, "gone"}},
        {"/to-http", {302, {}, "Location: " + plain.baseAddress().toUtf8() + "s200\r\n"}},
    };
    const auto fetch = [&](const char* path) {
        return syncFetch(freshRequest(server.base() + path, 5s), 10s);
    };
    for (const auto& [path, answer] : nothing) {
        server.answer(path, answer);
        EXPECT_EQ(fetch(path), std::nullopt) << path;
    }
    EXPECT_TRUE(plain.requests().isEmpty()) << "a redirect from https to http is never followed";
    server.answer("/to-https", {302, {}, "Location: " + server.base().toUtf8() + "/s200\r\n"});
    EXPECT_EQ(fetch("/to-https"), QByteArray("the archive"));
}

}  // namespace
}  // namespace rk
