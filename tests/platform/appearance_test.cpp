#include "platform/Appearance.h"

#include <gtest/gtest.h>

#include <QPalette>

using namespace rk;

namespace {

QPalette palette(QColor window, QColor text) {
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    return p;
}

TEST(Appearance, AWindowDarkerThanItsTextIsDark) {
    struct Case {
        const char* name;
        QColor window;
        QColor text;
        bool dark;
    };
    const Case cases[] = {
        {"light", QColor(0xF7, 0xF6, 0xF2), QColor(0x1D, 0x1D, 0x1F), false},
        {"dark", QColor(0x1C, 0x1C, 0x1E), QColor(0xF2, 0xF2, 0xF7), true},
        // Mid-grey grounds: the text says which scheme the grey belongs to.
        {"grey with white text", QColor(0x90, 0x90, 0x90), Qt::white, true},
        {"grey with black text", QColor(0x70, 0x70, 0x70), Qt::black, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Appearance::isDark(palette(c.window, c.text)), c.dark) << c.name;
}

TEST(Appearance, NoGuiApplicationIsLight) {
    EXPECT_FALSE(Appearance::systemIsDark());
}

}  // namespace
