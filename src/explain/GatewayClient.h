#pragma once
// Client of the remote AI gateway that explains the login items the rule
// table does not know. It never fails towards its caller: on any failure it
// returns the fallback the caller supplied, together with the reason.
//
// One call is one HTTPS request:
//
//   POST <base address>/v1/call
//   Authorization: Bearer <client key>
//   X-End-User-ID: <install identifier>
//   X-Provider-Key: <provider key>          (only when one is configured)
//   Content-Type: application/json
//
//   {"task": "explain-login-items",
//    "items": [{"ref": 0, "name": "...", "id": "...", "file": "...", "vendor": "..."}, ...]}
//
// "ref" is the item's position in the list. "id", "file" and "vendor" are
// left out when the item has none. Each text has passed through
// `Redact::user`, and "file" is a bare file name. Nothing else is sent: no
// item key, photo, folder path or the person's name.
//
// The gateway answers 200 with
//
//   {"answers": [{"ref": 0, "what": "One plain-English sentence."}, ...]}
//
// at most one sentence per item; items it cannot explain are left out.
// Answers with an unknown "ref", without a usable sentence or repeating a
// "ref" already answered are ignored.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

#include "explain/ExplainTypes.h"
#include "platform/Result.h"
#include "platform/UserAccount.h"

namespace rk {

struct GatewayConfig {
    QString baseAddress;
    QString clientKey;
    QString providerKey;  // empty: the header is not sent
    QString installId;    // empty: `InstallId::value()` when a request is made
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(5)};
    std::chrono::milliseconds requestTimeout{std::chrono::seconds(20)};

    // The settings the program was built with (`GatewayKey`).
    static GatewayConfig fromBuild();
    // Whether a request could be made at all: an address and a client key.
    bool configured() const { return !baseAddress.trimmed().isEmpty() && !clientKey.isEmpty(); }
};

// Sentences keyed by item key, and why the fallback came back instead.
struct GatewayReply {
    QMap<QString, QString> sentences;
    std::optional<QString> failure;
};

struct GatewayClient {
    static constexpr const char* endUserHeader = "X-End-User-ID";
    static constexpr const char* providerKeyHeader = "X-Provider-Key";
    // A reply body beyond this is not read.
    static constexpr qint64 replyCap = 256 * 1024;

    // "v1/call" under `base`. Refused unless the address is https, or plain
    // http to this machine's loopback (a local gateway or a test): the client
    // key must never cross a network in the clear.
    static Result<QUrl, QString> endpoint(const QString& base);
    static QByteArray requestBody(const QList<ExplainItem>& items,
                                  const UserAccount& account = UserAccount::current());
    // The sentences of a reply body keyed by the key of the item at each
    // "ref", or why the body is unusable.
    static Result<QMap<QString, QString>, QString> parseReply(const QByteArray& body,
                                                              const QList<ExplainItem>& items);

    // Sends `items` and waits for the answer, at most `connectTimeout` for the
    // connection and `requestTimeout` in all. Blocks the calling thread (it
    // runs a local event loop), so call it from a worker thread. A reply
    // without any usable sentence counts as a failure.
    static GatewayReply explain(const QList<ExplainItem>& items, const GatewayConfig& config,
                                QMap<QString, QString> fallback = {},
                                const UserAccount& account = UserAccount::current());
};

}  // namespace rk
