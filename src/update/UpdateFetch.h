#pragma once
// The updater's one way of fetching from the network: a blocking GET that
// yields the body of an answer with HTTP status 200, or nothing. Used for the
// feed and for the update archive, on the update queue ("kt.update"): each
// fetch makes its network access manager on the calling thread and runs a
// local event loop there until the answer is complete or the wait is over.
//
// TLS is Qt's default: the system's certificate authorities, and Qt's
// default redirect policy, which follows a redirect only when it is no less
// safe (never from https to http). Nothing here loosens either.

#include <QByteArray>
#include <QNetworkRequest>
#include <QUrl>
#include <chrono>
#include <optional>

namespace rk::KTUpdate {

// How long a fetch waits in all before it gives up.
inline constexpr std::chrono::milliseconds kFetchWait = std::chrono::seconds(180);

// A GET of `url` that bypasses every cache and gives up after `timeout`
// without data.
QNetworkRequest freshRequest(const QUrl& url, std::chrono::milliseconds timeout);

// The body of a complete answer with status exactly 200 (other 2xx answers,
// failures and redirects that are refused give nothing). A request still
// running after `wait` is abandoned and gives nothing.
std::optional<QByteArray> syncFetch(const QNetworkRequest& request,
                                    std::chrono::milliseconds wait = kFetchWait);

}  // namespace rk::KTUpdate
