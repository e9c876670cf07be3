#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStandardPaths>

namespace rk {

QString SingleInstance::defaultName() {
    return nameFor(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation), QDir::tempPath(),
                   ::getuid(),
                   displayFor(QGuiApplication::platformName(), qEnvironmentVariable("DISPLAY"),
                              qEnvironmentVariable("WAYLAND_DISPLAY")));
}

QString SingleInstance::nameFor(const QString& runtimeFolder, const QString& tempFolder, uint userId,
                                const QString& display) {
    // A Wayland display may be a path; the name stays one plain file name.
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._:-]"));
    const QString shown = QString(display).replace(unsafe, QStringLiteral("_"));
    if (runtimeFolder.isEmpty())
        return QDir(tempFolder).filePath(QStringLiteral("rowkeeper-%1-%2.socket").arg(userId).arg(shown));
    return QDir(runtimeFolder).filePath(QStringLiteral("rowkeeper-%1.socket").arg(shown));
}

QString SingleInstance::displayFor(const QString& platform, const QString& x11Display,
                                   const QString& waylandDisplay) {
    if (platform == QStringLiteral("xcb")) {
        static const QRegularExpression screen(QStringLiteral("(:\\d+)\\.\\d+$"));
        return QString(x11Display).replace(screen, QStringLiteral("\\1"));
    }
    if (platform.startsWith(QStringLiteral("wayland")))
        return waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : waylandDisplay;
    return platform;
}

QString SingleInstance::alreadyRunningLine(const QStringList& unused) {
    const QString line = QStringLiteral("Rowkeeper is already running; its window was brought forward.");
    if (unused.isEmpty())
        return line;
    return line + QStringLiteral(" Not used: ") + unused.join(QLatin1Char(' ')) +
           QStringLiteral(" (options apply when Rowkeeper starts: quit it and start it again to use them).");
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QByteArray SingleInstance::encode(const QStringList& linkTexts) {
    QByteArray message;
    for (const QString& text : linkTexts)
        message += text.toUtf8() + '\0';
    return message;
}

QStringList SingleInstance::decode(const QByteArray& message) {
    QList<QByteArray> parts = message.split('\0');
    // The last text's NUL leaves an empty piece behind it.
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QStringList texts;
    texts.reserve(parts.size());
    for (const QByteArray& part : parts)
        texts << QString::fromUtf8(part);
    return texts;
}

bool SingleInstance::forward(const QStringList& linkTexts, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray message = encode(linkTexts);
    if (!message.isEmpty()) {
        socket.write(message);
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen() {
    if (isListening())
        return true;
    // No socket options: with them Qt renames a fresh socket over the name,
    // which would silently take it from a copy that is running. The runtime
    // folder is the person's own, so the socket needs no access rules of its own.
    server_ = std::make_unique<QLocalServer>();
    if (!server_->listen(name_)) {
        if (server_->serverError() != QAbstractSocket::AddressInUseError) {
            server_.reset();
            return false;
        }
        // Another copy may have started listening since forward() found
        // nobody; its socket must stay. Otherwise the file is a leftover.
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) {
            probe.abort();
            server_.reset();
            return false;
        }
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            server_.reset();
            return false;
        }
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

bool SingleInstance::isListening() const {
    return server_ && server_->isListening();
}

void SingleInstance::accept() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        client->setParent(this);
        pending_.insert(client, Pending{});
        connect(client, &QLocalSocket::readyRead, this, [this, client] { read(client); });
        connect(client, &QLocalSocket::disconnected, this, [this, client] { finish(client); });
        read(client);
        if (client->state() != QLocalSocket::ConnectedState)
            finish(client);
    }
}

void SingleInstance::read(QLocalSocket* client) {
    auto it = pending_.find(client);
    if (it == pending_.end())
        return;
    const QByteArray bytes = client->readAll();
    if (it->tooLong)
        return;
    it->bytes += bytes;
    if (it->bytes.size() > maxMessageBytes) {
        it->tooLong = true;
        it->bytes.clear();
    }
}

void SingleInstance::finish(QLocalSocket* client) {
    read(client);
    const auto it = pending_.find(client);
    if (it == pending_.end())
        return;
    const Pending done = *it;
    pending_.erase(it);
    client->deleteLater();
    if (!done.tooLong)
        emit linksReceived(decode(done.bytes));
}

}  // namespace rk
