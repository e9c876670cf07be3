#include <gtest/gtest.h>

#include "platform/IconArt.h"

using namespace rk;

namespace {

int spread(QRgb p) {
    return std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
}

}  // namespace

TEST(IconArt, DrawnOverTheAppearanceBackground) {
    for (GenericIcon icon : {GenericIcon::document, GenericIcon::application}) {
        for (bool dark : {false, true}) {
            const QImage image = IconArt::render(icon, 64, dark);
            ASSERT_EQ(image.size(), QSize(64, 64));
            const int background = dark ? 43 : 245;
            EXPECT_EQ(image.pixel(0, 0), qRgb(background, background, background)) << dark;
            EXPECT_EQ(qAlpha(image.pixel(63, 63)), 255);
        }
    }
}

TEST(IconArt, DocumentIsAWhitePageAndBothAreColourless) {
    const QImage document = IconArt::render(GenericIcon::document, 64, true);
    EXPECT_GT(qGray(document.pixel(28, 40)), 230);
    const QImage application = IconArt::render(GenericIcon::application, 64, false);
    EXPECT_LT(qGray(application.pixel(12, 32)), 200);  // the tile, darker than the page
    for (const QImage& image : {document, application}) {
        for (int y = 0; y < 64; y += 3) {
            for (int x = 0; x < 64; x += 3) {
                EXPECT_LE(spread(image.pixel(x, y)), 12) << x << "," << y;
            }
        }
    }
}

TEST(IconArt, NoImageWithoutASide) {
    EXPECT_TRUE(IconArt::render(GenericIcon::document, 0, false).isNull());
    EXPECT_TRUE(IconArt::render(GenericIcon::application, -5, true).isNull());
}
