#include "platform/AppBundle.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include "platform/Seam.h"

namespace rk {

namespace {
std::optional<QString> nonEmpty(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    return text;
}
}  // namespace

AppBundle& AppBundle::current() {
    return Seam<AppBundle>::current<HostAppBundle>();
}

void AppBundle::setCurrent(AppBundle* bundle) {
    Seam<AppBundle>::setCurrent(bundle);
}

// The Qt application's name stands in for the bundle name, and its display
// name for the display name; both only exist once the application object does.
std::optional<QString> HostAppBundle::infoString(const QString& key) const {
    if (key == "CFBundleName" && QCoreApplication::instance())
        return nonEmpty(QCoreApplication::applicationName());
    if (key == "CFBundleDisplayName" && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nonEmpty(QGuiApplication::applicationDisplayName());
    return std::nullopt;
}

// The desktop entry's name is Linux's reverse-DNS identity of an app.
std::optional<QString> HostAppBundle::bundleIdentifier() const {
    return nonEmpty(QGuiApplication::desktopFileName());
}

QString HostAppBundle::bundlePath() const {
    return executablePath();
}

QString HostAppBundle::executablePath() const {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget("/proc/self/exe");
}

QStringList HostAppBundle::arguments() const {
    if (QCoreApplication::instance())
        return QCoreApplication::arguments();
    QFile cmdline("/proc/self/cmdline");
    QStringList args;
    if (!cmdline.open(QIODevice::ReadOnly))
        return args;
    const QList<QByteArray> parts = cmdline.readAll().split('\0');
    for (const QByteArray& part : parts)
        args << QString::fromLocal8Bit(part);
    // The file ends with a NUL, which leaves one empty piece behind.
    if (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

qint64 HostAppBundle::processID() const {
    return QCoreApplication::applicationPid();
}

}  // namespace rk
