#include "support/LoopbackHttps.h"

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QMutexLocker>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <future>

#include "support/HttpExchange.h"

namespace rk::test {

namespace {
QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

LoopbackHttps::LoopbackHttps() {
    const QTemporaryDir dir;
    QProcess openssl;
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                   "-keyout", dir.filePath("key"), "-out", dir.filePath("cert")});
    if (!openssl.waitForFinished(60'000) || openssl.exitCode() != 0)
        return;
    certificate_ = QSslCertificate(contents(dir.filePath("cert")));
    std::promise<quint16> listening;
    thread_.reset(QThread::create([this, key = contents(dir.filePath("key")), &listening] {
        QSslServer server;
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate_);
        tls.setPrivateKey(QSslKey(key, QSsl::Ec));
        server.setSslConfiguration(tls);
        QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [this, &server] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const auto request = parseHttpRequest(socket->peek(kHttpRequestCap));
                    if (!request)
                        return;
                    QMutexLocker lock(&mutex_);
                    const Answer a = answers_.value(request->path, Answer(404));
                    socket->write(httpAnswer(a.status, "application/octet-stream", a.body, a.headers));
                    socket->disconnectFromHost();
                });
            }
        });
        listening.set_value(server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0);
        QEventLoop().exec();
    }));
    thread_->start();
    port_ = listening.get_future().get();
}

LoopbackHttps::~LoopbackHttps() {
    if (thread_) {
        thread_->quit();
        thread_->wait();
    }
}

QString LoopbackHttps::base() const {
    return port_ == 0 ? QString() : QStringLiteral("https://127.0.0.1:%1").arg(port_);
}

void LoopbackHttps::trustInThisProcess() const {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificate(certificate_);
    QSslConfiguration::setDefaultConfiguration(tls);
}

void LoopbackHttps::answer(const QByteArray& path, const Answer& answer) {
    QMutexLocker lock(&mutex_);
    answers_.insert(path, answer);
}

}  // namespace rk::test
