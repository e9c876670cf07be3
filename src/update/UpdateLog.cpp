#include "update/UpdateLog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

#include "platform/AppBundle.h"
#include "platform/FileProbe.h"
#include "platform/Seam.h"
#include "update/KTUpdate.h"

namespace rk::KTUpdate {

namespace {

QMutex pathMutex;
QString chosenPath;

// The app's name: its bundle's name, else its bundle's file name without the extension.
QString appName() {
    if (const auto name = AppBundle::current().infoString(QStringLiteral("CFBundleName")))
        return *name;
    return QFileInfo(AppBundle::current().bundlePath()).completeBaseName();
}

QString defaultLogPath() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + '/' + appName() + QStringLiteral("/updater.log");
}

}  // namespace

bool isControlOrDirection(QChar c) {
    switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            break;
    }
    const char16_t u = c.unicode();
    return u == 0x061c || u == 0x200e || u == 0x200f || (u >= 0x202a && u <= 0x202e) ||
           (u >= 0x2066 && u <= 0x2069);
}

QString plainLine(QString text) {
    for (QChar& c : text) {
        if (isControlOrDirection(c))
            c = QChar::ReplacementCharacter;
    }
    return text;
}

namespace {

// The message is an argument of the line, never its format.
void systemLine(const QString& plain) {
    qInfo("[KTUpdate] %s", qUtf8Printable(plain));
}

// Added at the end of the log, the file made when it is missing: an existing
// log is never replaced, and what is no regular file at its place is left alone.
void traceLine(const QString& plain) {
    systemLine(plain);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QByteArray line = (stamp + QStringLiteral(" app: ") + plain + '\n').toUtf8();
    logQ().async([path = logPath(), line] { appendToFile(path, line); });
}

}  // namespace

void systemLog(const QString& message) {
    systemLine(plainLine(message));
}

void trace(const QString& message) {
    traceLine(plainLine(message));
}

void status(const QString& message) {
    const QString plain = plainLine(message);
    traceLine(plain);
    onMain([plain] { onStatus(plain); });
}

void alert(const QString& title, const QString& message) {
    onMain([title, message] {
        MessageBoxes::current().activate();
        if (const auto present = presentNotice.get())
            present(title, message);
        else
            MessageBoxes::current().notice(title, message);
    });
}

QString logPath() {
    QMutexLocker lock(&pathMutex);
    if (chosenPath.isEmpty())
        chosenPath = defaultLogPath();
    return chosenPath;
}

void setLogPath(const QString& path) {
    QMutexLocker lock(&pathMutex);
    chosenPath = path;
}

MessageBoxes& MessageBoxes::current() {
    return Seam<MessageBoxes>::current<MessageBoxes>();
}

void MessageBoxes::setCurrent(MessageBoxes* boxes) {
    Seam<MessageBoxes>::setCurrent(boxes);
}

}  // namespace rk::KTUpdate
