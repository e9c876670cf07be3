#include "platform/MotionPreference.h"

#include <QSettings>

#include "platform/Seam.h"

namespace rk {

namespace {
constexpr char kEnvironmentVariable[] = "ROWKEEPER_REDUCE_MOTION";
constexpr char kDefaultsKey[] = "reduceMotion";
}  // namespace

MotionPreference& MotionPreference::current() {
    return Seam<MotionPreference>::current<HostMotionPreference>();
}

void MotionPreference::setCurrent(MotionPreference* preference) {
    Seam<MotionPreference>::setCurrent(preference);
}

std::optional<bool> HostMotionPreference::parseSwitch(const QString& value) {
    const QString word = value.trimmed().toLower();
    if (word == "1" || word == "true" || word == "yes" || word == "on")
        return true;
    if (word == "0" || word == "false" || word == "no" || word == "off")
        return false;
    return std::nullopt;
}

bool HostMotionPreference::reduceMotion() const {
    if (const auto fromEnvironment = parseSwitch(qEnvironmentVariable(kEnvironmentVariable)))
        return *fromEnvironment;
    return QSettings().value(kDefaultsKey, false).toBool();
}

}  // namespace rk
