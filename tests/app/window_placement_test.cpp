#include <gtest/gtest.h>

#include "app/WindowPlacement.h"

using namespace rk;

namespace {

// One 1440 x 900 screen with a 25-point menu bar; visible frame below it.
const ScreenArea laptop{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};

}  // namespace

TEST(WindowPlacement, BesideSystemSettings) {
    const QSizeF window(600, 500);
    struct Case {
        const char* name;
        QRectF settings;
        std::optional<QPointF> want;
    } cases[] = {
        {"fits both sides: left", QRectF(700, 100, 600, 600), QPointF(700 - 600 - 12, 100)},
        {"exactly room on the left", QRectF(612, 100, 600, 600), QPointF(0, 100)},
        {"only the right fits", QRectF(100, 100, 700, 600), QPointF(812, 100)},
        {"neither side fits", QRectF(400, 100, 700, 600), std::nullopt},
        {"left one point short, right fits", QRectF(611, 100, 200, 600), QPointF(823, 100)},
        {"top above the visible frame is clamped", QRectF(700, 5, 600, 600), QPointF(88, 25)},
        {"near the bottom the window is raised", QRectF(700, 600, 600, 300), QPointF(88, 400)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowPlacement::beside(c.settings, {laptop}, window), c.want) << c.name;
    }
}

TEST(WindowPlacement, AWindowTallerThanTheScreenKeepsItsBottomInside) {
    const auto at = WindowPlacement::beside(QRectF(700, 100, 600, 600), {laptop}, QSizeF(600, 1000));
    ASSERT_TRUE(at);
    EXPECT_EQ(at->y(), 900 - 1000);
}

TEST(WindowPlacement, UsesTheScreenSystemSettingsIsOn) {
    const ScreenArea right{QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1040)};
    // On the second screen, close to its left edge: room only on its right,
    // though the first screen would have room to the left.
    const auto at = WindowPlacement::beside(QRectF(1500, 200, 800, 600), {laptop, right}, QSizeF(600, 500));
    ASSERT_TRUE(at);
    EXPECT_EQ(*at, QPointF(2312, 200));
    EXPECT_EQ(WindowPlacement::beside(QRectF(700, 100, 600, 600), {}, QSizeF(600, 500)), std::nullopt);
}
