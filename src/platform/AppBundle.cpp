#include "platform/AppBundle.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include "platform/BundleInfo.h"
#include "platform/Seam.h"

// Set by src/platform/CMakeLists.txt on this file only: the version and
// build number a Mac keeps in the bundle's Info.plist.
#ifndef ROWKEEPER_VERSION
#define ROWKEEPER_VERSION ""
#endif
#ifndef ROWKEEPER_BUILD
#define ROWKEEPER_BUILD ""
#endif

namespace rk {

namespace {
std::optional<QString> nonEmpty(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QByteArray readProcFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Linux keeps a process's start in clock ticks after boot (the 22nd field of
// /proc/self/stat, counted past the parenthesised command name, which may
// hold blanks) and the boot in seconds since 1970 ("btime" of /proc/stat).
std::optional<QDateTime> processStart() {
    const QByteArray stat = readProcFile("/proc/self/stat");
    const qsizetype nameEnd = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(nameEnd + 1).simplified().split(' ');
    bool ticksOk = false;
    const qint64 ticks = nameEnd < 0 || fields.size() < 20 ? 0 : fields[19].toLongLong(&ticksOk);
    qint64 boot = 0;
    for (const QByteArray& line : readProcFile("/proc/stat").split('\n')) {
        if (line.startsWith("btime "))
            boot = line.mid(6).trimmed().toLongLong();
    }
    const long perSecond = sysconf(_SC_CLK_TCK);
    if (!ticksOk || boot <= 0 || perSecond <= 0)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(boot * 1000 + ticks * 1000 / perSecond, Qt::UTC);
}
}  // namespace

AppBundle& AppBundle::current() {
    return Seam<AppBundle>::current<HostAppBundle>();
}

void AppBundle::setCurrent(AppBundle* bundle) {
    Seam<AppBundle>::setCurrent(bundle);
}

// Without a bundle, the program's own version and build number (given by
// the build) stand in for the bundle's, the Qt application's name for the
// bundle name and its display name for the display name; the names only
// exist once the application object does.
std::optional<QString> HostAppBundle::infoString(const QString& key) const {
    if (const auto bundle = BundleInfo::enclosingBundle(executablePath()))
        return BundleInfo::read(*bundle).string(key);
    if (key == "CFBundleShortVersionString")
        return nonEmpty(QStringLiteral(ROWKEEPER_VERSION));
    if (key == "CFBundleVersion")
        return nonEmpty(QStringLiteral(ROWKEEPER_BUILD));
    if (key == "CFBundleName" && QCoreApplication::instance())
        return nonEmpty(QCoreApplication::applicationName());
    if (key == "CFBundleDisplayName" && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nonEmpty(QGuiApplication::applicationDisplayName());
    return std::nullopt;
}

std::optional<QString> HostAppBundle::bundleIdentifier() const {
    if (const auto bundle = BundleInfo::enclosingBundle(executablePath()))
        return BundleInfo::read(*bundle).identifier();
    return std::nullopt;
}

QString HostAppBundle::bundlePath() const {
    const QString executable = executablePath();
    return BundleInfo::enclosingBundle(executable).value_or(executable);
}

QString HostAppBundle::executablePath() const {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget("/proc/self/exe");
}

QStringList HostAppBundle::arguments() const {
    if (QCoreApplication::instance())
        return QCoreApplication::arguments();
    QStringList args;
    const QList<QByteArray> parts = readProcFile("/proc/self/cmdline").split('\0');
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

std::optional<QDateTime> HostAppBundle::launchDate() const {
    static const std::optional<QDateTime> started = processStart();
    return started;
}

}  // namespace rk
