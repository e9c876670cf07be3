#include "platform/Appearance.h"

#include <gtest/gtest.h>

#include <QPalette>

using namespace rk;

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
