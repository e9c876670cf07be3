// The permission record, the restart record, the usage counters and a fresh
// copy's answer about its grants, each as the program finds it on disk (or
// in the copy's output). What the program writes after reading a record, it
// reads back: the same grants, the restarts that still count and the new
// one, every counter it did not touch. A record under another identity
// grants nothing; the fresh copy's answer is its last line.
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "FuzzInput.h"
#include "app/model/Stats.h"
#include "permissions/FreshProcessCheck.h"
#include "permissions/PermissionState.h"
#include "permissions/StaleGrant.h"
#include "platform/FileProbe.h"

using fuzzing::require;

namespace {

const QString kOwnID = QStringLiteral("com.quillory.rowkeeper");
const QString kSlug = QStringLiteral("rowkeeper");
constexpr qint64 kLargestCount = 9'000'000'000'000'000;

class StillClock final : public rk::Clock {
public:
    Time now() const override { return Time(std::chrono::seconds(1'767'225'600)); }
};

const fuzzing::FuzzFolder folder;

void permissionRecord(const QByteArray& input) {
    const QSet<QString> granted = rk::KTPermissionState::grantedIDs(input, kOwnID);
    require(granted.isEmpty() || granted == rk::KTPermissionState::grantedIDs(input, std::nullopt),
            "the own identity only ever drops a whole record");
    QList<rk::KTPermission> permissions;
    for (const QString& id : granted)
        permissions << rk::KTPermission{.id = id, .probe = [] { return true; }};
    permissions << rk::KTPermission{.id = "not-granted", .probe = [] { return false; }};
    const QByteArray written = rk::KTPermissionState::record(permissions, {"not-granted"}, kOwnID);
    require(rk::KTPermissionState::grantedIDs(written, kOwnID) == granted,
            "the record written grants the same");
    require(rk::KTPermissionState::grantedIDs(written, "org.example.other").isEmpty(),
            "a record under another identity grants nothing");
}

void restartRecord(const QByteArray& input) {
    // Only a record holding a time is worth the files, and one far larger
    // than any the program writes is not read at all.
    if (input.size() > 64 * 1024 || rk::KTStaleGrantRestarts::timesFrom(input).isEmpty())
        return;
    static const rk::SystemPaths paths = rk::SystemPaths::rerooted(folder.path(), "/Users/anna");
    const QString file = *rk::KTStaleGrantRestarts::file(kSlug, paths);
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'767'225'600, Qt::UTC);
    QList<QDateTime> kept;
    for (const QDateTime& time : rk::KTStaleGrantRestarts::timesFrom(input))
        if (rk::KTStaleGrantRestarts::counts(time, now))
            kept << time;
    kept << now;
    folder.write(file, input);
    require(rk::KTStaleGrantRestarts::record(kSlug, now, paths), "a restart is recorded");
    require(rk::KTStaleGrantRestarts::read(kSlug, paths) == kept,
            "the record written holds the restarts that still count and the new one");
}

void usageCounters(const QByteArray& input) {
    static StillClock clock;
    QJsonObject before = rk::UsageCounters::tableFrom(input);
    if (before.isEmpty())
        return;  // a table the program does not read is not worth the worker and the files
    rk::UsageCounters counters({.base = folder.path(), .clock = &clock, .writeDelay = std::chrono::hours(1)});
    folder.write(counters.file(), input);
    // One more launch, except at the largest count the file keeps.
    const qint64 launches = std::min(counters.snapshot().value("launch", 0) + 1, kLargestCount);
    counters.record("launch");
    counters.record("not an event");
    require(counters.snapshot().value("launch") == launches, "a launch counts one more");
    counters.flush();
    const auto bytes = rk::readWholeFile(counters.file(), 1 << 20);
    require(bytes.ok(), "the counters are written");
    QJsonObject after = rk::UsageCounters::tableFrom(bytes.value());
    require(after.take("launch").toObject().value("count").toInteger() == launches,
            "the written launch count is one more");
    before.remove("launch");
    require(after == before, "every other counter is written as it was read");
}

void freshAnswer(const QByteArray& input) {
    const auto grants = rk::KTFreshProcessCheck::parseAnswer(input);
    require(rk::KTFreshProcessCheck::parseAnswer(input + "\nwarning: {not json\n") == grants,
            "only a last line beginning with \"{\" is the answer");
    const QByteArray answer = R"({"accessibility":true,"screen":false})";
    require(rk::KTFreshProcessCheck::parseAnswer(input + '\n' + answer) ==
                rk::KTGrantMap{{"accessibility", true}, {"screen", false}},
            "an answer on the last line is read whatever came before");
    if (!grants)
        return;
    QJsonObject object;
    for (const auto& [id, held] : *grants)
        object.insert(id, held);
    require(
        rk::KTFreshProcessCheck::parseAnswer(QJsonDocument(object).toJson(QJsonDocument::Compact)) == grants,
        "the answer written again reads the same");
}

}  // namespace

void fuzz(const QByteArray& input) {
    permissionRecord(input);
    restartRecord(input);
    usageCounters(input);
    freshAnswer(input);
}
