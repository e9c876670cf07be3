#pragma once
// An HTTP or HTTPS server on 127.0.0.1 for the updater's and the AI
// gateway's tests, on a thread of its own, so that the code under test may
// block any other thread while it fetches. It answers each path as told,
// other paths with the reply set by `reply` (404 when none), or stays
// silent; it records each request. It serves at most `maxRequests`
// connections; later ones are closed at once, so a faulty client can never
// make it loop.
//
// An HTTPS server's certificate is self-signed, made with openssl when the
// server is made, and valid for 127.0.0.1 only. Nothing trusts it until a
// test calls `trustInThisProcess`, which adds it to this test program's
// default TLS configuration; the code under test keeps Qt's defaults.

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QSslCertificate>
#include <QString>
#include <QThread>
#include <memory>

namespace rk::test {

struct HttpRequest {
    QByteArray method;
    QByteArray path;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
};

class LoopbackServer {
public:
    struct Answer {
        Answer(int status = 200, QByteArray body = {}, QByteArray headers = {}, qint64 stream = 0)
            : status(status), body(std::move(body)), headers(std::move(headers)), stream(stream) {}
        int status;
        QByteArray body;
        QByteArray headers;  // extra header lines, each ending in "\r\n"
        // Bytes of 'x' after the body (endless when negative), made as the client takes them
        // until it goes; the answer then states a length only in `headers`.
        qint64 stream;
    };

    explicit LoopbackServer(bool tls = false, int maxRequests = 1000);
    ~LoopbackServer();

    // "http(s)://127.0.0.1:<port>"; empty when no certificate could be made.
    QString base() const;
    QString baseAddress() const { return base() + QLatin1Char('/'); }
    void trustInThisProcess() const;
    // The certificate, for another process of the test to trust (PEM).
    QByteArray certificatePem() const { return certificate_.toPem(); }
    // How `path` is answered from now on.
    void answer(const QByteArray& path, const Answer& answer);
    // How every other path is answered from now on.
    void reply(int status, const QByteArray& body, const QByteArray& extraHeaders = QByteArray());
    // Reads requests but never answers them.
    void silent();
    QList<HttpRequest> requests() const;

private:
    QSslCertificate certificate_;
    bool tls_;
    quint16 port_ = 0;
    std::unique_ptr<QThread> thread_;
    mutable QMutex mutex_;
    QMap<QByteArray, Answer> answers_;
    Answer other_{404};
    bool silent_ = false;
    int left_;
    QList<HttpRequest> requests_;
};

}  // namespace rk::test
