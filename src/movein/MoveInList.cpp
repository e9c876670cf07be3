// Reading the checklist file and reading and writing the person's marks.

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cmath>

#include "movein/MoveIn.h"
#include "platform/AppFolders.h"
#include "platform/FileProbe.h"
#include "platform/Text.h"

namespace rk {

namespace {

// A checklist is a few dozen rows; a file far larger than this is not one,
// and reading it whole would only cost memory.
constexpr qint64 kMaxListBytes = 8 * 1024 * 1024;

// "since" must be a time QDateTime can hold; a wild number (1e300) would
// otherwise overflow the conversion to milliseconds.
constexpr double kLatestSince = 253402300799.0;  // the last second of the year 9999
constexpr double kEarliestSince = -kLatestSince;

std::optional<QString> text(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QStringList> texts(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue& item : value.toArray()) {
        if (item.isString())
            list << item.toString();
    }
    return list;
}

std::optional<MoveInSpec::Check> checkFrom(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    MoveInSpec::Check check;
    check.kind = text(object, "kind").value_or(QString());
    check.tier = text(object, "tier");
    check.bundle = text(object, "bundle");
    check.clients = texts(object, "clients");
    check.service = text(object, "service");
    check.alsoAccept = texts(object, "alsoAccept");
    check.path = text(object, "path");
    check.paths = texts(object, "paths");
    check.process = text(object, "process");
    check.contains = text(object, "contains");
    return check;
}

std::optional<MoveInSpec::Action> actionFrom(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    MoveInSpec::Action action{text(object, "url"), text(object, "app")};
    if (action.isEmpty())
        return std::nullopt;
    return action;
}

// A row without a usable id or title is left out; the others still read.
std::optional<MoveInSpec> specFrom(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    MoveInSpec spec;
    spec.id = text(object, "id").value_or(QString());
    spec.title = text(object, "title").value_or(QString());
    if (spec.id.isEmpty() || spec.title.isEmpty())
        return std::nullopt;
    spec.group = text(object, "group");
    spec.systemImage = text(object, "systemImage");
    spec.actionLabel = text(object, "actionLabel");
    if (object.value("optional").isBool())
        spec.optional = object.value("optional").toBool();
    spec.how = text(object, "how");
    spec.note = text(object, "note");
    spec.check = checkFrom(object.value("check"));
    spec.action = actionFrom(object.value("action"));
    return spec;
}

QList<MoveInSpec> specsFrom(const QJsonArray& rows) {
    QList<MoveInSpec> specs;
    for (const QJsonValue& row : rows) {
        if (auto spec = specFrom(row))
            specs << *spec;
    }
    return specs;
}

std::optional<QDateTime> sinceFrom(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double seconds = value.toDouble();
    if (!std::isfinite(seconds) || seconds < kEarliestSince || seconds > kLatestSince)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000.0)), Qt::UTC);
}

QJsonArray sortedArray(const QSet<QString>& ids) {
    QStringList list(ids.begin(), ids.end());
    std::sort(list.begin(), list.end(), Text::less);
    return QJsonArray::fromStringList(list);
}

QSet<QString> idSet(const QJsonValue& value) {
    QSet<QString> ids;
    if (!value.isArray())
        return ids;
    for (const QJsonValue& item : value.toArray()) {
        if (item.isString() && !item.toString().isEmpty())
            ids.insert(item.toString());
    }
    return ids;
}

}  // namespace

QString MoveIn::supportFolder() {
    return AppFolders::support();
}

QString MoveIn::listURL(const QString& folder) {
    return folder + "/move-in.json";
}

QString MoveIn::marksURL(const QString& folder) {
    return folder + "/move-in-marks.json";
}

MoveInList MoveIn::loadList(const std::optional<QByteArray>& data) {
    if (!data)
        return {};
    return parseList(*data).valueOr(MoveInList{});
}

Result<MoveInList, QString> MoveIn::parseList(const QByteArray& data) {
    if (data.trimmed().isEmpty())
        return fail(QString("it is empty"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return fail(QString("it is not JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset));
    MoveInList list;
    QJsonArray rows;
    if (document.isArray()) {
        rows = document.array();
    } else {
        const QJsonObject object = document.object();
        list.since = sinceFrom(object.value("since"));
        const QJsonValue listed =
            object.value("rows").isArray() ? object.value("rows") : object.value("items");
        if (!listed.isArray())
            return fail(QString("it has no \"rows\" list"));
        rows = listed.toArray();
    }
    list.specs = specsFrom(rows);
    if (list.specs.isEmpty() && !rows.isEmpty())
        return fail(QString("no row has both an \"id\" and a \"title\""));
    return list;
}

Result<MoveInList, MoveIn::ListProblem> MoveIn::readList(const QString& path) {
    auto data = readWholeFile(path, kMaxListBytes);
    if (!data) {
        switch (data.error()) {
            case ENOENT:
            case ENOTDIR:
                return fail(ListProblem{.missing = true});
            case EFBIG:
                return fail(
                    ListProblem{.reason = QString("it is larger than %1 MB").arg(kMaxListBytes >> 20)});
            case EINVAL:
                return fail(ListProblem{.reason = "it is not a plain file"});
            default:
                return fail(ListProblem{.reason = "it cannot be read (" + errnoText(data.error()) + ")"});
        }
    }
    auto list = parseList(data.value());
    if (!list)
        return fail(ListProblem{.reason = list.error()});
    return std::move(list).value();
}

QList<MoveInSpec> MoveIn::loadSpecs(const std::optional<QByteArray>& data) {
    return loadList(data).specs;
}

std::optional<QByteArray> MoveIn::readFile(const QString& path) {
    auto data = readWholeFile(path, kMaxListBytes);
    if (!data)
        return std::nullopt;
    return std::move(data).value();
}

MoveIn::Marks MoveIn::marksFrom(const QByteArray& data) {
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    return {idSet(object.value("opened")), idSet(object.value("done"))};
}

QByteArray MoveIn::marksData(const Marks& marks) {
    QJsonObject object;
    object.insert("opened", sortedArray(marks.opened));
    object.insert("done", sortedArray(marks.done));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

MoveIn::Marks MoveIn::loadMarks(const QString& path) {
    const auto data = readFile(path);
    return data ? marksFrom(*data) : Marks{};
}

Result<Unit, QString> MoveIn::saveMarks(const Marks& marks, const QString& path) {
    return writeWholeFile(path, marksData(marks));
}

}  // namespace rk
