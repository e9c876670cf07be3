#include "update/UpdateFeed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

#include "update/KTUpdate.h"
#include "update/UpdateLog.h"

namespace rk::KTUpdate {

namespace {

constexpr std::chrono::milliseconds kFeedTimeout = std::chrono::seconds(20);

// A URL whose scheme is written exactly "https", with a host. Qt lower-cases
// the scheme it parses, so the rule reads the text itself.
std::optional<QUrl> httpsURL(const QJsonValue& value) {
    const QString text = value.toString();
    if (!value.isString() || !text.startsWith(QStringLiteral("https:")))
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

bool plain(const QString& text) {
    return std::none_of(text.begin(), text.end(), isControlOrDirection);
}

// An integral number, exactly representable.
std::optional<qint64> integral(const QJsonValue& value) {
    const double number = value.toDouble();
    if (!value.isDouble() || std::floor(number) != number || std::fabs(number) > 9007199254740992.0)
        return std::nullopt;
    return qint64(number);
}

qint64 buildNumber(const QJsonValue& value) {
    if (value.isString())
        return decimalInteger(value.toString()).value_or(0);
    return integral(value).value_or(0);
}

// "2026-03-01T09:30:00Z" or "2026-03-01T09:30:00+01:00", and no other form.
std::optional<QDateTime> internetDate(const QJsonValue& value) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(Z|([+-])(\\d{2}):(\\d{2}))$"));
    const QRegularExpressionMatch match = form.match(value.toString());
    if (!value.isString() || !match.hasMatch())
        return std::nullopt;
    const auto number = [&](int group) { return match.captured(group).toInt(); };
    const QDate date(number(1), number(2), number(3));
    const QTime time(number(4), number(5), number(6));
    if (!date.isValid() || !time.isValid() || number(9) > 23 || number(10) > 59)
        return std::nullopt;
    const int offset =
        (match.captured(8) == QStringLiteral("-") ? -1 : 1) * (number(9) * 3600 + number(10) * 60);
    return QDateTime(date, time, QTimeZone(offset)).toUTC();
}

}  // namespace

std::optional<QUrl> feedURL() {
    if (feedBase.isEmpty() || appKey.isEmpty())
        return std::nullopt;
    const QUrl url(feedBase + '/' + appKey + QStringLiteral("/appcast.json"), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    return url;
}

std::optional<Appcast> parseAppcast(const QByteArray& document) {
    if (document.size() > kFeedLimit)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError || !json.isObject())
        return std::nullopt;
    const QJsonObject feed = json.object();

    Appcast entry;
    const QJsonValue version = feed.value(QStringLiteral("version"));
    if (!version.isString() || !plain(version.toString()))
        return std::nullopt;
    entry.version = version.toString();
    const auto url = httpsURL(feed.value(QStringLiteral("url")));
    if (!url)
        return std::nullopt;
    entry.url = *url;
    const QJsonValue sha256 = feed.value(QStringLiteral("sha256"));
    entry.sha256 = sha256.toString().toLower();
    if (!sha256.isString() || entry.sha256.size() != 64)
        return std::nullopt;

    const QJsonValue build = feed.value(QStringLiteral("build"));
    if (!plain(build.toString()))
        return std::nullopt;
    entry.build = buildNumber(build);
    if (const auto length = integral(feed.value(QStringLiteral("length"))); length && *length > 0)
        entry.length = length;
    if (const QString notes = feed.value(QStringLiteral("notes")).toString(); !notes.isEmpty())
        entry.notes = notes;
    entry.notesURL = httpsURL(feed.value(QStringLiteral("notes_url")));
    if (const QJsonValue min = feed.value(QStringLiteral("min_macos")); min.isString())
        entry.minMacOS = min.toString();
    entry.critical = feed.value(QStringLiteral("critical")) == QJsonValue(true);
    entry.published = internetDate(feed.value(QStringLiteral("pubdate")));
    return entry;
}

std::optional<Appcast> fetchAppcast(std::chrono::milliseconds wait) {
    const auto url = feedURL();
    if (!url)
        return std::nullopt;
    const auto body = syncFetch(freshRequest(*url, kFeedTimeout), wait, kFeedLimit);
    if (!body)
        return std::nullopt;
    return parseAppcast(*body);
}

std::strong_ordering compareVersions(const QString& a, const QString& b) {
    const QStringList left = a.split('.', Qt::SkipEmptyParts);
    const QStringList right = b.split('.', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qint64 x = i < left.size() ? decimalInteger(left[i]).value_or(0) : 0;
        const qint64 y = i < right.size() ? decimalInteger(right[i]).value_or(0) : 0;
        if (x != y)
            return x <=> y;
    }
    return std::strong_ordering::equal;
}

std::optional<qint64> decimalInteger(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^[+-]?[0-9]+$"));
    bool ok = false;
    const qint64 value = form.match(text).hasMatch() ? text.toLongLong(&ok) : 0;
    if (!ok)
        return std::nullopt;
    return value;
}

}  // namespace rk::KTUpdate
