#include <gtest/gtest.h>

#include "platform/IconArt.h"

using namespace rk;

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
