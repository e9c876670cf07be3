#pragma once
// The update feed: one small JSON document per app, at
// `feedBase` + "/" + `appKey` + "/appcast.json", that describes the newest
// published build. Reading it never logs, shows or changes anything: it
// yields a validated `Appcast` or nothing, and the check decides what to say.
// Also the comparison of version texts that the check applies to the feed's
// and the installed versions.
//
// The feed is a top-level object; keys other than these are ignored:
//   "version"   string, required, kept as written; one with a control or
//               direction character (UpdateLog.h) makes the feed invalid
//   "url"       string, required, the archive: a URL whose scheme is
//               written exactly "https", with a host
//   "sha256"    string, required, 64 characters once lower-cased
//   "build"     integral number, or a string of a decimal integer; else 0,
//               except that a string with a control or direction character
//               makes the feed invalid
//   "length"    the archive's size in bytes, an integral number above 0;
//               else none. A larger download is refused
//   "notes"     string; empty counts as none
//   "notes_url" string, kept only when it would do as "url"
//   "min_macos" string, kept as written
//   "critical"  true only for JSON true
//   "pubdate"   date and time with a zone and no fractions
//               ("2026-03-01T09:30:00Z"); anything else counts as none
// Optional keys of the wrong kind never make the feed invalid.
//
// Pure functions, except `fetchAppcast`, which blocks its thread (the update
// queue) for up to `kFetchWait`.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <chrono>
#include <compare>
#include <optional>

#include "update/UpdateFetch.h"

namespace rk::KTUpdate {

// The feed's entry, validated.
struct Appcast {
    QString version;
    qint64 build = 0;
    QUrl url;                      // the zip archive of the app bundle
    QString sha256;                // lower case
    std::optional<qint64> length;  // bytes
    std::optional<QString> minMacOS;
    std::optional<QString> notes;
    std::optional<QUrl> notesURL;
    bool critical = false;
    std::optional<QDateTime> published;

    friend bool operator==(const Appcast&, const Appcast&) = default;
};

// The feed's address; none when the feed base or the app key is empty, or
// the text is no URL.
std::optional<QUrl> feedURL();
// The entry a feed document describes; none when it is invalid, or larger
// than `kFeedLimit`.
std::optional<Appcast> parseAppcast(const QByteArray& document);
// Fetches the feed (20 s without data ends the request) and parses it.
std::optional<Appcast> fetchAppcast(std::chrono::milliseconds wait = kFetchWait);

// `a` against `b`: pieces between dots, empty pieces dropped, each a decimal
// integer or else 0, compared in order with missing pieces as 0. So 1.10 is
// newer than 1.9, 1.2 equals 1.2.0 and 2.0b1 equals 2.0.
std::strong_ordering compareVersions(const QString& a, const QString& b);

// `text` as a decimal integer with an optional sign and nothing else (no
// blanks); none otherwise, or when it does not fit.
std::optional<qint64> decimalInteger(const QString& text);

}  // namespace rk::KTUpdate
