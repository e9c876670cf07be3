#pragma once
// An HTTPS server on 127.0.0.1 for the updater's tests, serving on a thread
// of its own so that the code under test may block any other thread while it
// fetches. It answers each path as told (404 for paths it was not told of),
// records every request, and serves at most `maxRequests`; later connections
// are closed at once, so a faulty client can never make it loop.
//
// Its certificate is self-signed, made with openssl when the server is made,
// and valid for 127.0.0.1 only. Nothing trusts it until the test calls
// `trustInThisProcess`, which adds it to this test program's default TLS
// configuration: the program under test keeps Qt's defaults.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QSslCertificate>
#include <QString>
#include <QThread>
#include <memory>

#include "support/HttpExchange.h"

class QTcpSocket;

namespace rk::test {

class LoopbackHttps {
public:
    struct Answer {
        Answer(int status = 200, QByteArray body = {}, QByteArray headers = {})
            : status(status), body(std::move(body)), headers(std::move(headers)) {}
        int status;
        QByteArray body;
        QByteArray headers;  // extra header lines, each ending in "\r\n"
    };

    explicit LoopbackHttps(int maxRequests = 16);
    ~LoopbackHttps();
    LoopbackHttps(const LoopbackHttps&) = delete;
    LoopbackHttps& operator=(const LoopbackHttps&) = delete;

    // "https://127.0.0.1:<port>", without a trailing slash; empty when the
    // server could not start (`problem` says why).
    QString base() const;
    QString problem() const { return problem_; }

    void trustInThisProcess() const;
    // How `path` is answered from now on.
    void answer(const QByteArray& path, const Answer& answer);
    QList<HttpRequest> requests() const;
    // Requests for `path` so far.
    int count(const QByteArray& path) const;

private:
    void serve(QTcpSocket* socket);

    int maxRequests_;
    QString problem_;
    QSslCertificate certificate_;
    quint16 port_ = 0;
    std::unique_ptr<QThread> thread_;
    mutable QMutex mutex_;
    QMap<QByteArray, Answer> answers_;
    QList<HttpRequest> requests_;
    int served_ = 0;
};

}  // namespace rk::test
