#include "update/UpdateVersion.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <climits>
#include <functional>

#include "platform/AppBundle.h"
#include "platform/BundleInfo.h"
#include "update/KTUpdate.h"
#include "update/UpdateLog.h"

namespace rk::KTUpdate {

namespace {

using InfoString = std::function<std::optional<QString>(const QString&)>;

BundleVersion unreadable(const QString& path) {
    systemLog(QStringLiteral("target bundle unreadable at ") + (path.isEmpty() ? QStringLiteral("?") : path));
    return {QStringLiteral("0"), 0};
}

BundleVersion versionFrom(const InfoString& info) {
    BundleVersion running;
    running.version = info(QStringLiteral("CFBundleShortVersionString")).value_or(QStringLiteral("0"));
    const QString buildText = info(QStringLiteral("CFBundleVersion")).value_or(QString());
    if (const auto build = decimalInteger(buildText)) {
        running.build = *build;
    } else {
        trace(QStringLiteral("warning: CFBundleVersion is '") + buildText +
              QStringLiteral("' (not an integer); comparing as build 0"));
    }
    return running;
}

// Three numbers from a "min_macos" text: pieces between dots, empty ones
// dropped, each a decimal integer or else 0, missing ones 0.
QVersionNumber requiredSystem(const QString& minimum) {
    const QStringList pieces = minimum.split('.', Qt::SkipEmptyParts);
    QList<int> numbers;
    for (int i = 0; i < 3; ++i) {
        const qint64 value = i < pieces.size() ? decimalInteger(pieces[i]).value_or(0) : 0;
        numbers << int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
    }
    return QVersionNumber(numbers);
}

}  // namespace

QString targetPath() {
    return targetBundlePath.value_or(AppBundle::current().bundlePath());
}

bool isBundlePath(const QString& path) {
    return path.endsWith(QStringLiteral(".app"));
}

BundleVersion currentVersion() {
    if (targetBundlePath) {
        const QString path = *targetBundlePath;
        if (!QFileInfo(path).isDir())
            return unreadable(path);
        const BundleInfo bundle = BundleInfo::read(path);
        return versionFrom([&](const QString& key) { return bundle.string(key); });
    }
    // The running program always has its bundle information (a Linux build
    // its own version and build number), inside an .app or not.
    const AppBundle& self = AppBundle::current();
    return versionFrom([&](const QString& key) { return self.infoString(key); });
}

QString currentVersionString() {
    const BundleVersion running = currentVersion();
    return 'v' + running.version + QStringLiteral(" (") + QString::number(running.build) + ')';
}

std::optional<BundleVersion> versionOnDisk(const QString& bundlePath) {
    const BundleInfo bundle = BundleInfo::read(bundlePath);
    const auto version = bundle.string(QStringLiteral("CFBundleShortVersionString"));
    if (!version)
        return std::nullopt;
    const auto build = decimalInteger(bundle.string(QStringLiteral("CFBundleVersion")).value_or(QString()));
    return BundleVersion{*version, build.value_or(0)};
}

bool feedIsNewer(const Appcast& feed, const BundleVersion& installed) {
    const auto order = compareVersions(feed.version, installed.version);
    return order > 0 || (order == 0 && feed.build > installed.build);
}

bool pausedAfterFailedSwaps(const QString& feedVersion, const std::optional<QString>& failedVersion,
                            qint64 failedCount) {
    return failedVersion == feedVersion && failedCount >= kSwapAttempts;
}

bool systemMeets(const QString& minimum, const std::optional<QVersionNumber>& system) {
    if (minimum.split('.', Qt::SkipEmptyParts).isEmpty())
        return true;
    if (!system)
        return false;
    const QVersionNumber required = requiredSystem(minimum);
    for (int i = 0; i < 3; ++i) {
        if (system->segmentAt(i) != required.segmentAt(i))
            return system->segmentAt(i) > required.segmentAt(i);
    }
    return true;
}

QString checkStamp(const QDateTime& now) {
    return QLocale().toString(now.toLocalTime().time(), QStringLiteral("h:mmAP")).toLower();
}

QString publishedSuffix(const std::optional<QDateTime>& published, const QDateTime& now) {
    if (!published)
        return QString();
    const QDateTime local = published->toLocalTime();
    const bool today = local.date() == now.toLocalTime().date();
    QString text =
        QLocale::c().toString(local, today ? QStringLiteral("h:mmAP") : QStringLiteral("MMM d, h:mmAP"));
    text.replace(QStringLiteral("AM"), QStringLiteral("am"))
        .replace(QStringLiteral("PM"), QStringLiteral("pm"));
    return QStringLiteral(", published ") + text;
}

}  // namespace rk::KTUpdate
