#include "support/LoopbackServer.h"

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

// Requests larger than this are cut off.
constexpr qsizetype kRequestCap = 1024 * 1024;

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The request in `buffer` once it is complete (headers and the body that
// Content-Length announces); none while more is to come.
std::optional<HttpRequest> parseRequest(const QByteArray& buffer) {
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    HttpRequest request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - (end + 4) < length)
        return std::nullopt;
    request.body = buffer.mid(end + 4, length);
    return request;
}

// Writes `left` bytes of 'x' to `socket` (endless when negative) while
// little of what it wrote before still waits to go out; then ends the answer.
void keepStreaming(QTcpSocket* socket, const std::shared_ptr<qint64>& left) {
    static const QByteArray piece(256 * 1024, 'x');
    const auto* tls = qobject_cast<QSslSocket*>(socket);
    while (*left != 0 && socket->state() == QAbstractSocket::ConnectedState &&
           socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0) < 2 * piece.size()) {
        const qint64 size = *left < 0 ? piece.size() : std::min<qint64>(*left, piece.size());
        if (socket->write(piece.constData(), size) != size)
            return;
        *left -= *left < 0 ? 0 : size;
    }
    if (*left == 0)
        socket->disconnectFromHost();
}

}  // namespace

LoopbackServer::LoopbackServer(bool tls, int maxRequests) : tls_(tls), left_(maxRequests) {
    const QTemporaryDir dir;
    if (tls) {
        QProcess openssl;
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                       "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                       "-keyout", dir.filePath("key"), "-out", dir.filePath("cert")});
        if (!openssl.waitForFinished(60'000) || openssl.exitCode() != 0)
            return;
        certificate_ = QSslCertificate(contents(dir.filePath("cert")));
    }
    std::promise<quint16> listening;
    thread_.reset(QThread::create([this, key = contents(dir.filePath("key")), &listening] {
        std::unique_ptr<QTcpServer> server(tls_ ? new QSslServer : new QTcpServer);
        if (tls_) {
            QSslConfiguration config = QSslConfiguration::defaultConfiguration();
            config.setLocalCertificate(certificate_);
            config.setPrivateKey(QSslKey(key, QSsl::Ec));
            static_cast<QSslServer*>(server.get())->setSslConfiguration(config);
        }
        QTcpServer* s = server.get();
        QObject::connect(s, &QTcpServer::pendingConnectionAvailable, s, [this, s] {
            while (QTcpSocket* socket = s->nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QMutexLocker lock(&mutex_);
                if (left_-- <= 0) {
                    socket->abort();
                    continue;
                }
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    buffer->append(socket->readAll());
                    if (buffer->size() > kRequestCap) {
                        socket->abort();
                        return;
                    }
                    const auto request = parseRequest(*buffer);
                    if (!request)
                        return;
                    buffer->clear();
                    QMutexLocker lock(&mutex_);
                    requests_.append(*request);
                    if (silent_)
                        return;
                    const Answer a = answers_.value(request->path, other_);
                    const QByteArray length = "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n";
                    socket->write(
                        "HTTP/1.1 " + QByteArray::number(a.status) +
                        " Answer\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n" +
                        (a.stream ? QByteArray() : length) + a.headers + "\r\n" + a.body);
                    const auto left = std::make_shared<qint64>(a.stream);
                    const auto more = [socket, left] { keepStreaming(socket, left); };
                    if (a.stream) {
                        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
                        if (auto* tls = qobject_cast<QSslSocket*>(socket))
                            QObject::connect(tls, &QSslSocket::encryptedBytesWritten, socket, more);
                    }
                    more();
                });
            }
        });
        listening.set_value(s->listen(QHostAddress::LocalHost, 0) ? s->serverPort() : 0);
        QEventLoop().exec();
    }));
    thread_->start();
    port_ = listening.get_future().get();
}

LoopbackServer::~LoopbackServer() {
    if (thread_) {
        thread_->quit();
        thread_->wait();
    }
}

QString LoopbackServer::base() const {
    if (port_ == 0)
        return QString();
    return QStringLiteral("%1://127.0.0.1:%2").arg(tls_ ? "https" : "http").arg(port_);
}

void LoopbackServer::trustInThisProcess() const {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(certificate_);
    QSslConfiguration::setDefaultConfiguration(config);
}

void LoopbackServer::answer(const QByteArray& path, const Answer& answer) {
    QMutexLocker lock(&mutex_);
    answers_.insert(path, answer);
}

void LoopbackServer::reply(int status, const QByteArray& body, const QByteArray& extraHeaders) {
    QMutexLocker lock(&mutex_);
    silent_ = false;
    other_ = Answer(status, body, extraHeaders);
}

void LoopbackServer::silent() {
    QMutexLocker lock(&mutex_);
    silent_ = true;
}

QList<HttpRequest> LoopbackServer::requests() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

}  // namespace rk::test
