#include "permissions/StaleGrant.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <functional>

#include "permissions/PermissionState.h"
#include "platform/FileProbe.h"
#include "platform/ToolOutput.h"

namespace rk {

namespace {

// The record is plain JSON anyone can edit; a number outside the years
// QDateTime holds (1e300) would overflow the conversion to milliseconds.
constexpr double kLatestSeconds = 253402300799.0;  // the last second of the year 9999

std::optional<QDateTime> timeFrom(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double seconds = value.toDouble();
    if (!std::isfinite(seconds) || std::abs(seconds) > kLatestSeconds)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000.0)), Qt::UTC);
}

}  // namespace

std::optional<QString> KTStaleGrantRestarts::file(const QString& slug, const SystemPaths& paths) {
    const auto dotFolder = KTPermissionState::folder(slug, paths);
    if (!dotFolder)
        return std::nullopt;
    return paths.disk(*dotFolder + "/stale-grant-restarts.json");
}

// {"restarts": [seconds since 1970, ...]}
QList<QDateTime> KTStaleGrantRestarts::read(const QString& slug, const SystemPaths& paths) {
    const auto path = file(slug, paths);
    if (!path)
        return {};
    // A few times take a few bytes; a file far larger is not the program's.
    return timesFrom(readWholeFile(*path, 64 * 1024).valueOr(QByteArray()));
}

QList<QDateTime> KTStaleGrantRestarts::timesFrom(const QByteArray& record) {
    QList<QDateTime> times;
    for (const QJsonValue& value : QJsonDocument::fromJson(record).object().value("restarts").toArray()) {
        if (const auto time = timeFrom(value))
            times << *time;
    }
    return times;
}

bool KTStaleGrantRestarts::record(const QString& slug, const QDateTime& now, const SystemPaths& paths) {
    const auto path = file(slug, paths);
    if (!path)
        return false;
    QJsonArray kept;
    for (const QDateTime& time : read(slug, paths)) {
        if (counts(time, now))
            kept.append(double(time.toMSecsSinceEpoch()) / 1000.0);
    }
    kept.append(double(now.toMSecsSinceEpoch()) / 1000.0);
    return writeWholeFile(*path, QJsonDocument(QJsonObject{{"restarts", kept}}).toJson(QJsonDocument::Compact))
        .ok();
}

bool KTStaleGrantRestarts::counts(const QDateTime& time, const QDateTime& now) {
    if (!time.isValid() || !now.isValid())
        return false;
    const qint64 age = time.secsTo(now);
    return age < windowSeconds && age >= -windowSeconds;
}

int KTStaleGrantRestarts::recentCount(const QList<QDateTime>& times, const QDateTime& now) {
    return int(
        std::count_if(times.begin(), times.end(), [&](const QDateTime& time) { return counts(time, now); }));
}

bool KTStaleGrantRestarts::freshCopyHolds(const QStringList& outstanding,
                                          const std::optional<KTGrantMap>& fresh, int recentRestarts) {
    if (!fresh || outstanding.isEmpty() || recentRestarts >= budget)
        return false;
    return std::all_of(outstanding.begin(), outstanding.end(), [&](const QString& id) {
        const auto entry = fresh->find(id);
        return entry != fresh->end() && entry->second;
    });
}

bool KTStaleGrantRestarts::restartAllowed(const QStringList& outstanding,
                                          const QList<KTPermission>& permissions,
                                          const QSet<QString>& didNotHold) {
    return std::all_of(outstanding.begin(), outstanding.end(), [&](const QString& id) {
        if (didNotHold.contains(id))
            return false;
        const auto p = std::find_if(permissions.begin(), permissions.end(),
                                    [&](const KTPermission& permission) { return permission.id == id; });
        return p != permissions.end() && p->restartsOnStaleGrant;
    });
}

bool KTStaleGrantRestarts::selftest() {
    const QDateTime now = QDateTime::fromSecsSinceEpoch(2'000'000'000, Qt::UTC);
    const KTGrantMap holds{{"screen", true}, {"accessibility", true}};
    const KTGrantMap partly{{"screen", true}, {"accessibility", false}};
    const QList<KTPermission> declared{KTPermission{.id = "screen"},
                                       KTPermission{.id = "accessibility", .restartsOnStaleGrant = false}};
    struct Check {
        const char* label;
        std::function<bool()> passes;
    };
    const QList<Check> checks{
        {"fresh copy holds the grant, no restarts yet -> restart (control)",
         [&] { return freshCopyHolds({"screen"}, holds, 0); }},
        {"one restart in the last 600 s -> still allowed",
         [&] { return freshCopyHolds({"screen"}, holds, recentCount({now.addSecs(-30)}, now)); }},
        {"two restarts in the last 600 s -> no restart (decoy)",
         [&] {
             return !freshCopyHolds({"screen"}, holds,
                                    recentCount({now.addSecs(-30), now.addSecs(-599)}, now));
         }},
        {"restarts 600 s ago and older no longer count",
         [&] {
             return freshCopyHolds({"screen"}, holds,
                                   recentCount({now.addSecs(-600), now.addSecs(-900)}, now));
         }},
        {"a restart up to 600 s in the future still counts (decoy)",
         [&] {
             return recentCount({now.addSecs(300), now.addSecs(600)}, now) == 2;
         }},
        {"a restart further in the future does not count for ever",
         [&] {
             return recentCount({now.addSecs(601), now.addYears(1)}, now) == 0;
         }},
        {"no answer from the fresh copy -> no restart (decoy)",
         [&] { return !freshCopyHolds({"screen"}, std::nullopt, 0); }},
        {"nothing outstanding -> no restart (decoy)", [&] { return !freshCopyHolds({}, holds, 0); }},
        {"fresh copy lacks one outstanding grant -> no restart (decoy)",
         [&] {
             return !freshCopyHolds({"screen", "accessibility"}, partly, 0);
         }},
        {"fresh copy silent about an outstanding id -> no restart (decoy)",
         [&] { return !freshCopyHolds({"camera"}, holds, 0); }},
        {"permission allows restarts (control)", [&] { return restartAllowed({"screen"}, declared, {}); }},
        {"restartsOnStaleGrant false -> not allowed (decoy)",
         [&] { return !restartAllowed({"accessibility"}, declared, {}); }},
        {"restart did not hold before -> not allowed (decoy)",
         [&] { return !restartAllowed({"screen"}, declared, {"screen"}); }},
        {"undeclared id -> not allowed (decoy)", [&] { return !restartAllowed({"camera"}, declared, {}); }},
    };
    QStringList failures;
    for (const Check& check : checks) {
        if (!check.passes())
            failures << check.label;
    }
    return reportSelftest("stale-grant", QString("%1 checks").arg(checks.size()), failures);
}

}  // namespace rk
