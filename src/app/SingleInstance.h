#pragma once
// One running copy of the app per person. A Mac brings the running app
// forward when it is opened again and hands it the links it is asked to
// open; on Linux a second launch does the same by hand: it offers its links
// to the running copy over a local socket and ends, and the running copy
// acts on them. A launch that finds nobody listening becomes the listener.
//
// The wire format is one link per line, sent by the newcomer, which then
// hangs up; no line at all means "come to the front".

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace rk {

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // A message larger than this is not a launch's links; it is dropped.
    static constexpr qint64 maxMessageBytes = 64 * 1024;

    // The person's own socket: in the session's runtime folder, which only
    // they can enter.
    static QString defaultName();

    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands `links` to the copy listening under the name; true when one took
    // them, so this launch should end. Blocks for at most `timeoutMs`.
    bool forward(const QList<QUrl>& links, int timeoutMs = 2000) const;
    // Starts listening. A socket left behind by a copy that ended without
    // tidying up is replaced; call after forward() found nobody. False when
    // it cannot listen, also when another copy answers on the socket now.
    bool listen();
    bool isListening() const;
    const QString& name() const { return name_; }

    // One line per link; empty lines are skipped.
    static QByteArray encode(const QList<QUrl>& links);
    static QList<QUrl> decode(const QByteArray& message);

signals:
    // A second launch's links (possibly none), on the main thread.
    void linksReceived(const QList<QUrl>& links);

private:
    // What a connected newcomer has sent so far.
    struct Pending {
        QByteArray bytes;
        bool tooLong = false;
    };

    void accept();
    void read(QLocalSocket* client);
    void finish(QLocalSocket* client);

    QString name_;
    std::unique_ptr<QLocalServer> server_;
    QHash<QLocalSocket*, Pending> pending_;
};

}  // namespace rk
