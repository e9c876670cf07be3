// What the desktop asks of the drawing: dark or light, reduced motion, and
// the generic icons.

#include "platform/Appearance.h"

#include <gtest/gtest.h>

#include <QPalette>
#include <QSettings>
#include <QTemporaryDir>

#include "platform/IconArt.h"
#include "platform/MotionPreference.h"

namespace rk {
namespace {

// On mid-grey grounds the text says which scheme the grey belongs to.
// Without a GUI application the scheme is light.
TEST(Appearance, AWindowDarkerThanItsTextIsDark) {
    const struct {
        QColor window;
        QColor text;
        bool dark;
    } cases[] = {
        {QColor(0xF7, 0xF6, 0xF2), QColor(0x1D, 0x1D, 0x1F), false},
        {QColor(0x1C, 0x1C, 0x1E), QColor(0xF2, 0xF2, 0xF7), true},
        {QColor(0x90, 0x90, 0x90), Qt::white, true},
        {QColor(0x70, 0x70, 0x70), Qt::black, false},
    };
    for (const auto& c : cases) {
        QPalette palette;
        palette.setColor(QPalette::Window, c.window);
        palette.setColor(QPalette::WindowText, c.text);
        EXPECT_EQ(Appearance::isDark(palette), c.dark) << c.window.name().toStdString();
    }
    EXPECT_FALSE(Appearance::systemIsDark());
}

// The environment's word beats the user default; an unknown word leaves the default in charge.
TEST(MotionPreference, TheEnvironmentBeatsTheUserDefault) {
    const std::pair<const char*, std::optional<bool>> words[] = {
        {"1", true},      {"TRUE", true}, {" yes ", true}, {"on", true},       {"0", false},
        {"false", false}, {"No", false},  {"off", false},  {"", std::nullopt}, {"maybe", std::nullopt},
    };
    for (const auto& [word, expected] : words)
        EXPECT_EQ(HostMotionPreference::parseSwitch(word), expected) << word;
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
    EXPECT_TRUE(host.reduceMotion());
    qunsetenv("ROWKEEPER_REDUCE_MOTION");
}

// Both icons fill the square over the appearance background, without
// colour (the blank-icon test compares grey); the document is a white page.
// No side, no image.
TEST(IconArt, ColourlessOverTheAppearanceBackground) {
    const auto spread = [](QRgb p) {
        return std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
    };
    for (GenericIcon icon : {GenericIcon::document, GenericIcon::application}) {
        for (bool dark : {false, true}) {
            const QImage image = IconArt::render(icon, 64, dark);
            ASSERT_EQ(image.size(), QSize(64, 64));
            const int background = dark ? 43 : 245;
            EXPECT_EQ(image.pixel(0, 0), qRgb(background, background, background)) << dark;
            for (int y = 0; y < 64; y += 3) {
                for (int x = 0; x < 64; x += 3)
                    EXPECT_LE(spread(image.pixel(x, y)), 12) << x << "," << y;
            }
            EXPECT_TRUE(IconArt::render(icon, dark ? 0 : -5, dark).isNull());
        }
    }
    EXPECT_GT(qGray(IconArt::render(GenericIcon::document, 64, true).pixel(28, 40)), 230);
    EXPECT_LT(qGray(IconArt::render(GenericIcon::application, 64, false).pixel(12, 32)), 200);
}

}  // namespace
}  // namespace rk
