#pragma once
// An HTTPS server on 127.0.0.1 for the updater's tests, on a thread of its
// own, so that the code under test may block any other thread while it
// fetches. It answers each path as told (404 for others).
//
// Its certificate is self-signed, made with openssl when the server is made,
// and valid for 127.0.0.1 only. Nothing trusts it until a test calls
// `trustInThisProcess`, which adds it to this test program's default TLS
// configuration; the code under test keeps Qt's defaults.

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QSslCertificate>
#include <QString>
#include <QThread>
#include <memory>

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

    LoopbackHttps();
    ~LoopbackHttps();

    // "https://127.0.0.1:<port>"; empty when no certificate could be made.
    QString base() const;
    void trustInThisProcess() const;
    // The certificate, for another process of the test to trust (PEM).
    QByteArray certificatePem() const { return certificate_.toPem(); }
    // How `path` is answered from now on.
    void answer(const QByteArray& path, const Answer& answer);

private:
    QSslCertificate certificate_;
    quint16 port_ = 0;
    std::unique_ptr<QThread> thread_;
    mutable QMutex mutex_;
    QMap<QByteArray, Answer> answers_;
};

}  // namespace rk::test
