#include "support/LoopbackGateway.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpSocket>

namespace rk::test {

namespace {

constexpr qsizetype requestCap = 1024 * 1024;

// The request in `buffer` once it is complete (headers and the body that
// Content-Length announces).
std::optional<LoopbackGateway::Request> parseRequest(const QByteArray& buffer) {
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    LoopbackGateway::Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - (end + 4) < length)
        return std::nullopt;
    request.body = buffer.mid(end + 4, length);
    return request;
}

}  // namespace

LoopbackGateway::LoopbackGateway(int maxRequests) : server_(new QTcpServer), maxRequests_(maxRequests) {
    server_->listen(QHostAddress::LocalHost, 0);
    QObject::connect(server_.get(), &QTcpServer::newConnection, server_.get(), [this] { accept(); });
}

LoopbackGateway::~LoopbackGateway() {
    server_->close();
}

QString LoopbackGateway::baseAddress() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(server_->serverPort());
}

void LoopbackGateway::reply(int status, const QByteArray& body, const QByteArray& extraHeaders) {
    QMutexLocker lock(&mutex_);
    silent_ = false;
    status_ = status;
    body_ = body;
    extraHeaders_ = extraHeaders;
}

void LoopbackGateway::silent() {
    QMutexLocker lock(&mutex_);
    silent_ = true;
}

QList<LoopbackGateway::Request> LoopbackGateway::requests() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

int LoopbackGateway::refused() const {
    QMutexLocker lock(&mutex_);
    return refused_;
}

void LoopbackGateway::accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        socket->setParent(server_.get());
        QMutexLocker lock(&mutex_);
        if (served_ >= maxRequests_) {
            ++refused_;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++served_;
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > requestCap) {
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
            QByteArray answer = "HTTP/1.1 " + QByteArray::number(status_) + " Answer\r\n";
            answer += "Content-Type: application/json\r\nConnection: close\r\n";
            answer += "Content-Length: " + QByteArray::number(body_.size()) + "\r\n";
            answer += extraHeaders_;
            answer += "\r\n" + body_;
            socket->write(answer);
            socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

}  // namespace rk::test
