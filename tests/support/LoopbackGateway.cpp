#include "support/LoopbackGateway.h"

#include <QTcpSocket>

namespace rk::test {

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

void LoopbackGateway::accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        socket->setParent(server_.get());
        QMutexLocker lock(&mutex_);
        if (served_ >= maxRequests_) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++served_;
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kHttpRequestCap) {
                socket->abort();
                return;
            }
            const auto request = parseHttpRequest(*buffer);
            if (!request)
                return;
            buffer->clear();
            QMutexLocker lock(&mutex_);
            requests_.append(*request);
            if (silent_)
                return;
            socket->write(httpAnswer(status_, "application/json", body_, extraHeaders_));
            socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

}  // namespace rk::test
