#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "platform/MotionPreference.h"

namespace rk {
namespace {

TEST(MotionPreference, EnvironmentWordsTurnItOnOrOff) {
    struct Case {
        const char* value;
        std::optional<bool> expected;
    };
    const Case cases[] = {
        {"1", true},      {"TRUE", true}, {" yes ", true}, {"on", true},       {"0", false},
        {"false", false}, {"No", false},  {"off", false},  {"", std::nullopt}, {"maybe", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HostMotionPreference::parseSwitch(c.value), c.expected) << c.value;
}

TEST(MotionPreference, TheEnvironmentBeatsTheUserDefault) {
    QTemporaryDir defaults;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, defaults.path());
    HostMotionPreference host;
    qunsetenv("ROWKEEPER_REDUCE_MOTION");
    EXPECT_FALSE(host.reduceMotion()) << "off when nobody asked";
    QSettings().setValue("reduceMotion", true);
    EXPECT_TRUE(host.reduceMotion());
    qputenv("ROWKEEPER_REDUCE_MOTION", "off");
    EXPECT_FALSE(host.reduceMotion());
    qputenv("ROWKEEPER_REDUCE_MOTION", "whatever");
    EXPECT_TRUE(host.reduceMotion()) << "an unknown word leaves the user default in charge";
    qunsetenv("ROWKEEPER_REDUCE_MOTION");
}

}  // namespace
}  // namespace rk
