#include "support/LoopbackHttps.h"

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QMutexLocker>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <future>

namespace rk::test {

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

LoopbackHttps::LoopbackHttps(int maxRequests) : maxRequests_(maxRequests) {
    const QTemporaryDir dir;
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                              "subjectAltName=IP:127.0.0.1", "-keyout", dir.filePath("key.pem"), "-out",
                              dir.filePath("cert.pem")});
    if (!openssl.waitForFinished(60'000) || openssl.exitCode() != 0) {
        problem_ = "openssl could not make a certificate: " + openssl.errorString();
        return;
    }
    certificate_ = QSslCertificate(readAll(dir.filePath("cert.pem")));
    std::promise<quint16> listening;
    thread_.reset(QThread::create([this, key = readAll(dir.filePath("key.pem")), &listening] {
        QSslServer server;
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate_);
        tls.setPrivateKey(QSslKey(key, QSsl::Ec));
        server.setSslConfiguration(tls);
        QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [this, &server] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                serve(socket);
        });
        listening.set_value(server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0);
        QEventLoop().exec();
    }));
    thread_->start();
    port_ = listening.get_future().get();
    if (port_ == 0)
        problem_ = "the server could not listen on 127.0.0.1";
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

QList<HttpRequest> LoopbackHttps::requests() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

int LoopbackHttps::count(const QByteArray& path) const {
    QMutexLocker lock(&mutex_);
    return int(std::count_if(requests_.begin(), requests_.end(), [&](const HttpRequest& r) { return r.path == path; }));
}

void LoopbackHttps::serve(QTcpSocket* socket) {
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QMutexLocker lock(&mutex_);
    if (served_++ >= maxRequests_) {
        socket->abort();
        return;
    }
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
        buffer->append(socket->readAll());
        const auto request = parseHttpRequest(*buffer);
        if (!request) {
            if (buffer->size() > kHttpRequestCap)
                socket->abort();
            return;
        }
        buffer->clear();
        QMutexLocker lock(&mutex_);
        requests_.append(*request);
        const Answer answer = answers_.value(request->path, Answer(404));
        socket->write(httpAnswer(answer.status, "application/octet-stream", answer.body, answer.headers));
        socket->disconnectFromHost();
    });
}

}  // namespace rk::test
