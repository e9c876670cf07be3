#pragma once
// The updater's one way of fetching from the network: a blocking GET that
// takes the body of an answer with HTTP status 200, or nothing. Used for the
// feed and for the update archive, on the update queue ("kt.update"): each
// fetch makes its network access manager on the calling thread and runs a
// local event loop there until the answer is complete or the wait is over.
//
// A body is never larger than its fetch allows: an answer that states a
// larger length is refused as soon as its headers arrive, and one that goes
// on past the limit (no length stated, or an endless stream) as soon as it
// passes it. The body arrives in pieces, and at most `kFetchBuffer` bytes of
// it wait in memory at a time: the feed is kept whole (it is small), the
// archive is handed on piece by piece to be hashed and written.
//
// TLS is Qt's default: the system's certificate authorities, and Qt's
// default redirect policy, which follows a redirect only when it is no less
// safe (never from https to http). Nothing here loosens either.

#include <QByteArray>
#include <QByteArrayView>
#include <QNetworkRequest>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

#include "platform/Result.h"

namespace rk::KTUpdate {

// How long a fetch waits in all before it gives up.
inline constexpr std::chrono::milliseconds kFetchWait = std::chrono::seconds(180);
// The largest feed document read.
inline constexpr qint64 kFeedLimit = qint64(1) << 20;
// The largest update archive downloaded.
inline constexpr qint64 kArchiveLimit = qint64(1) << 30;
// How much of a body may wait in memory before the network is read further.
inline constexpr qint64 kFetchBuffer = qint64(1) << 20;

// A GET of `url` that bypasses every cache and gives up after `timeout`
// without data.
QNetworkRequest freshRequest(const QUrl& url, std::chrono::milliseconds timeout);

// Why a fetch has no body.
enum class FetchFailure {
    failed,    // no complete answer with status 200 in time (refused redirects included)
    tooLarge,  // more than the fetch allows, stated or sent
    notTaken,  // the receiver of the pieces stopped it
};

// Takes each piece of a body as it arrives; false stops the fetch.
using BodyPieces = std::function<bool(QByteArrayView piece)>;

// Hands the body of a complete answer with status exactly 200 to `take`,
// piece by piece, and gives its length; never more than `limit` bytes. A
// request still running after `wait` is abandoned. On a failure the pieces
// already taken are no body: the caller drops them.
Result<qint64, FetchFailure> fetchInto(const QNetworkRequest& request, qint64 limit, const BodyPieces& take,
                                       std::chrono::milliseconds wait = kFetchWait);

// The whole body, in memory, up to `limit` bytes; nothing on any failure.
std::optional<QByteArray> syncFetch(const QNetworkRequest& request,
                                    std::chrono::milliseconds wait = kFetchWait, qint64 limit = kFeedLimit);

}  // namespace rk::KTUpdate
