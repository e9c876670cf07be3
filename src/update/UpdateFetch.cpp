#include "update/UpdateFetch.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <memory>

namespace rk::KTUpdate {

namespace {

// How much is read from the reply at a time.
constexpr qint64 kPiece = qint64(64) << 10;

int statusOf(const QNetworkReply& reply) {
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

}  // namespace

QNetworkRequest freshRequest(const QUrl& url, std::chrono::milliseconds timeout) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(int(timeout.count()));
    return request;
}

Result<qint64, FetchFailure> fetchInto(const QNetworkRequest& request, qint64 limit, const BodyPieces& take,
                                       std::chrono::milliseconds wait) {
    QNetworkAccessManager manager;
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    // The network is read no further while this much waits to be taken.
    reply->setReadBufferSize(kFetchBuffer);
    QEventLoop loop;
    QTimer giveUp;
    giveUp.setSingleShot(true);

    std::optional<FetchFailure> stopped;
    qint64 received = 0;
    QByteArray piece(kPiece, Qt::Uninitialized);
    const auto stop = [&](FetchFailure why) {
        stopped = why;
        loop.quit();
    };
    // A length stated past the limit is refused before any of the body is read.
    const auto headers = [&] {
        const QVariant stated = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!stopped && stated.isValid() && stated.toLongLong() > limit)
            stop(FetchFailure::tooLarge);
    };
    const auto body = [&] {
        while (!stopped && reply->bytesAvailable() > 0) {
            if (statusOf(*reply) != 200) {
                stop(FetchFailure::failed);
                return;
            }
            const qint64 read = reply->read(piece.data(), piece.size());
            if (read <= 0)
                return;
            received += read;
            if (received > limit)
                stop(FetchFailure::tooLarge);
            else if (!take(QByteArrayView(piece.constData(), read)))
                stop(FetchFailure::notTaken);
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, headers);
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, body);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    giveUp.start(wait);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    // What came with the end of the answer.
    headers();
    body();

    if (stopped || !reply->isFinished() || reply->error() != QNetworkReply::NoError ||
        statusOf(*reply) != 200) {
        reply->abort();
        return fail(stopped.value_or(FetchFailure::failed));
    }
    return received;
}

std::optional<QByteArray> syncFetch(const QNetworkRequest& request, std::chrono::milliseconds wait,
                                    qint64 limit) {
    QByteArray body;
    const auto fetched = fetchInto(
        request, limit,
        [&body](QByteArrayView piece) {
            body.append(piece);
            return true;
        },
        wait);
    if (!fetched)
        return std::nullopt;
    return body;
}

}  // namespace rk::KTUpdate
