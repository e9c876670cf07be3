#pragma once
// What a check compares, and the rules it decides by: the running app's
// version and build, the bundle on disk, the feed's entry, the record of
// swaps that did not take, and the oldest system a build runs on. Also the
// two time texts of the check's status lines. The check (UpdateCheck.h)
// calls these on the update queue; the menu and settings read
// `currentVersionString` on the main thread. Everything here may be called
// from any thread; only `currentVersion` and `versionOnDisk` read files.

#include <QDateTime>
#include <QString>
#include <QVersionNumber>
#include <optional>

#include "update/UpdateFeed.h"

namespace rk::KTUpdate {

// How many swaps of one version may fail to take before automatic installs
// of that version pause.
inline constexpr qint64 kSwapAttempts = 3;

// A version and a build as a bundle states them.
struct BundleVersion {
    QString version;   // "CFBundleShortVersionString"
    qint64 build = 0;  // "CFBundleVersion" read as a decimal integer; 0 when it is none

    friend bool operator==(const BundleVersion&, const BundleVersion&) = default;
};

// The bundle an install replaces: `targetBundlePath` when set, else the
// running app's own bundle. A Linux build as built lies in no bundle: this is
// then its executable, which nothing treats as installable.
QString targetPath();
// The path names an app bundle ("….app").
bool isBundlePath(const QString& path);

// The running app's version and build. ("0", 0), with a system log line,
// when its bundle cannot be read; a build that is no integer counts as 0,
// with a log entry each time it is read.
BundleVersion currentVersion();
// "v1.4.2 (57)".
QString currentVersionString();
// What the bundle at `bundlePath` holds on disk now; none when its
// Info.plist cannot be read or names no version.
std::optional<BundleVersion> versionOnDisk(const QString& bundlePath);

// The feed offers something newer than `installed`: a newer version, or the
// same version with a greater build. (The version decides before the build.)
bool feedIsNewer(const Appcast& feed, const BundleVersion& installed);
// Automatic installs of `feedVersion` have paused: the swaps that did not
// take were of that version, `kSwapAttempts` of them or more.
bool pausedAfterFailedSwaps(const QString& feedVersion, const std::optional<QString>& failedVersion,
                            qint64 failedCount);
// The running system is at least the feed's "min_macos" (up to three
// numbers between dots; a piece that is no number counts as 0). An empty
// text asks for nothing. A computer that runs no macOS meets no named version.
bool systemMeets(const QString& minimum, const std::optional<QVersionNumber>& system);

// The check's time stamp: "3:07pm" in the current locale, lower-cased.
QString checkStamp(const QDateTime& now);
// ", published 9:30am" for a date of today, ", published Mar 1, 9:30am"
// for another day (local time); "" without a date.
QString publishedSuffix(const std::optional<QDateTime>& published, const QDateTime& now);

}  // namespace rk::KTUpdate
