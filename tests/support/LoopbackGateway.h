#pragma once
// A tiny HTTP server on 127.0.0.1 that stands in for the AI gateway. It
// serves on the thread that made it (that thread must run an event loop,
// which a blocking gateway call on the same thread does), records each
// request, and answers with the reply set beforehand, or stays silent.
// It serves at most `maxRequests` requests; later connections are closed at
// once, so a faulty client can never make it loop.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QTcpServer>
#include <memory>

#include "support/HttpExchange.h"

namespace rk::test {

class LoopbackGateway {
public:
    using Request = HttpRequest;

    explicit LoopbackGateway(int maxRequests = 4);
    ~LoopbackGateway();

    // "http://127.0.0.1:<port>/".
    QString baseAddress() const;
    void reply(int status, const QByteArray& body, const QByteArray& extraHeaders = QByteArray());
    // Reads requests but never answers them.
    void silent();

    QList<Request> requests() const;

private:
    void accept();

    std::unique_ptr<QTcpServer> server_;
    int maxRequests_;
    mutable QMutex mutex_;
    QList<Request> requests_;
    int served_ = 0;
    bool silent_ = false;
    int status_ = 200;
    QByteArray body_;
    QByteArray extraHeaders_;
};

}  // namespace rk::test
