#include "app/model/MacIdentity.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace rk {

namespace {

// The first hardware record, when the output is an object whose
// "SPHardwareDataType" is a non-empty list made only of objects.
std::optional<QJsonObject> firstHardwareRecord(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonValue list = doc.object().value("SPHardwareDataType");
    if (!list.isArray() || list.toArray().isEmpty())
        return std::nullopt;
    const QJsonArray records = list.toArray();
    for (const QJsonValue& record : records) {
        if (!record.isObject())
            return std::nullopt;
    }
    return records.first().toObject();
}

std::optional<QString> text(const QJsonObject& record, const char* key) {
    const QJsonValue value = record.value(QLatin1String(key));
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

}  // namespace

QString MacIdentity::fromProfile(const QByteArray& json) {
    const auto record = firstHardwareRecord(json);
    if (!record)
        return {};
    QStringList parts{text(*record, "machine_name").value_or(QStringLiteral("Mac"))};
    if (const auto chip = text(*record, "chip_type"))
        parts << "(" + *chip + ")";
    if (const auto model = text(*record, "machine_model"))
        parts << QString::fromUtf8("\u00B7 ") + *model;
    return parts.join(' ');
}

QString MacIdentity::model(Machine& machine, const SystemPaths& paths) {
    const ToolRun run =
        machine.run(paths.tool(MacTool::systemProfiler), {"SPHardwareDataType", "-json"}, toolLimit);
    // The exit status is not consulted: the profiler's output is judged on
    // its shape alone. A run cut off at the limit says nothing reliable.
    if (!run.finished())
        return {};
    return fromProfile(run.out);
}

}  // namespace rk
