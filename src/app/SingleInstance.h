#pragma once
// One running copy of the app per person and display. A Mac brings the running app
// forward when it is opened again and hands it the links it is asked to
// open; on Linux a second launch does the same by hand: it offers its links
// to the running copy over a local socket and ends, and the running copy
// acts on them. A launch that finds nobody listening becomes the listener.
//
// The newcomer sends the texts of its link arguments exactly as it was
// given them, each followed by a NUL byte (no argument can hold one), then
// hangs up; nothing at all means "come to the front". The running copy reads
// the texts as links itself, as it reads its own arguments, so a link that
// Qt cannot read whole still arrives and is counted as naming no page.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace rk {

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // A message larger than this is not a launch's links; it is dropped.
    static constexpr qint64 maxMessageBytes = 64 * 1024;

    // The person's own socket for the display the app shows on: in the
    // session's runtime folder, which only they can enter. Call once the
    // application object exists (it names the window system).
    static QString defaultName();
    // The socket for one display: "rowkeeper-" and the display in
    // `runtimeFolder`; with no runtime folder, in `tempFolder` with the user
    // id too, so that neither another person's copy nor one on another
    // display is taken for the running copy.
    static QString nameFor(const QString& runtimeFolder, const QString& tempFolder, uint userId,
                           const QString& display);
    // Which display a window system names: X11's DISPLAY without its screen
    // number (":0.0" and ":0" are one server), Wayland's socket, or the
    // platform's own name for the others ("offscreen").
    static QString displayFor(const QString& platform, const QString& x11Display,
                              const QString& waylandDisplay);
    // What a second launch says on standard error when it carried options
    // that only a starting copy reads (`unused`), or nothing at all.
    static QString alreadyRunningLine(const QStringList& unused);

    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands the link texts to the copy listening under the name; true when
    // one took them, so this launch should end. Blocks for at most `timeoutMs`.
    bool forward(const QStringList& linkTexts, int timeoutMs = 2000) const;
    // Starts listening. A socket left behind by a copy that ended without
    // tidying up is replaced; call after forward() found nobody. False when
    // it cannot listen, also when another copy answers on the socket now.
    bool listen();
    bool isListening() const;
    const QString& name() const { return name_; }

    // Each text in UTF-8 and a NUL byte; decode gives the texts back as sent.
    static QByteArray encode(const QStringList& linkTexts);
    static QStringList decode(const QByteArray& message);

signals:
    // A second launch's link texts (possibly none), on the main thread.
    void linksReceived(const QStringList& linkTexts);

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
