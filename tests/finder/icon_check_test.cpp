#include <gtest/gtest.h>

#include <QPainter>
#include <clocale>
#include <cstdio>
#include <string>
#include <thread>

#include "finder/IconCheck.h"
#include "platform/IconArt.h"
#include "platform/SystemIcons.h"
#include "support/PlatformFakes.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"

using namespace rk;
using rk::test::SimulatedIcon;
using rk::test::SimulatedPhoto;

namespace {

[[maybe_unused]] const auto* const kGui =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::gui, "icon_check_test"));

std::vector<double> ramp(int width, int height) {
    std::vector<double> values;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            values.push_back((x * 37 + y * 91 + (x * y) % 13) % 256);
        }
    }
    return values;
}

// The side x side square of `image` (width `width`) whose top left is (left, top).
std::vector<double> cut(const std::vector<double>& image, int width, int left, int top, int side) {
    std::vector<double> out;
    for (int y = top; y < top + side; ++y) {
        for (int x = left; x < left + side; ++x) {
            out.push_back(image[static_cast<size_t>(y) * width + x]);
        }
    }
    return out;
}

PaneRow row(PaneSection section, Rect frame) {
    PaneRow r;
    r.section = section;
    r.title = QStringLiteral("Row");
    r.frame = frame;
    r.selectable = section != PaneSection::background;
    return r;
}

}  // namespace

TEST(IconCheckNCC, AnIdenticalPatchAnywhereGivesOneAndTheInverseMinusOne) {
    const auto image = ramp(30, 24);
    EXPECT_NEAR(IconCheck::bestNCC(image, 30, 24, cut(image, 30, 9, 5, 8), 8), 1.0, 1e-9);
    const auto tmpl = ramp(8, 8);
    std::vector<double> inverted;
    for (const double v : tmpl)
        inverted.push_back(255 - v);
    EXPECT_NEAR(IconCheck::bestNCC(inverted, 8, 8, tmpl, 8), -1.0, 1e-9);
}

TEST(IconCheckNCC, UnusableInputsGiveMinusOne) {
    const auto image = ramp(10, 10);
    struct Case {
        const char* what;
        std::vector<double> image;
        int width, height;
        std::vector<double> tmpl;
        int side;
    } cases[] = {
        {"flat template", image, 10, 10, std::vector<double>(16, 128.0), 4},
        {"image narrower than template", ramp(3, 10), 3, 10, ramp(4, 4), 4},
        {"image lower than template", ramp(10, 3), 10, 3, ramp(4, 4), 4},
        {"template not side x side", image, 10, 10, ramp(4, 3), 4},
        {"empty template", image, 10, 10, {}, 4},
        {"image shorter than its size", ramp(10, 5), 10, 10, ramp(4, 4), 4},
        {"flat image", std::vector<double>(100, 7.0), 10, 10, ramp(4, 4), 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IconCheck::bestNCC(c.image, c.width, c.height, c.tmpl, c.side), -1.0) << c.what;
    }
}

TEST(IconCheckGeometry, IconCentreAndSideBySection) {
    const Rect frame{300, 200, 400, 36};
    EXPECT_EQ(IconCheck::iconCenter(row(PaneSection::accessibility, frame)), QPointF(320, 218));
    EXPECT_EQ(IconCheck::iconCenter(row(PaneSection::openAtLogin, frame)), QPointF(320, 218));
    EXPECT_EQ(IconCheck::iconCenter(row(PaneSection::background, frame)), QPointF(318, 219));
    EXPECT_EQ(IconCheck::iconSide(PaneSection::background), 26);
    EXPECT_EQ(IconCheck::iconSide(PaneSection::openAtLogin), 16);
}

TEST(IconCheckGeometry, CropIsScaledFromPointsToPhotoPixels) {
    const Rect window{100, 50, 400, 300};
    const auto background = row(PaneSection::background, Rect{150, 100, 300, 48});
    // Centre (168, 119) less half of 36 points, less the window's origin.
    EXPECT_EQ(IconCheck::cropRect(QSize(400, 300), window, background), QRect(50, 51, 36, 36));
    EXPECT_EQ(IconCheck::cropRect(QSize(800, 600), window, background), QRect(100, 102, 72, 72));
    // Half points widen outwards to whole pixels.
    const auto list = row(PaneSection::accessibility, Rect{150.25, 100, 300, 35});
    EXPECT_EQ(IconCheck::cropRect(QSize(400, 300), window, list), QRect(57, 54, 27, 27));
    // A crop that starts exactly on the photo's edge is inside it.
    const auto atEdge = row(PaneSection::accessibility, Rect{93, 100, 300, 36});
    EXPECT_EQ(IconCheck::cropRect(QSize(800, 600), window, atEdge), QRect(0, 110, 52, 52));
}

TEST(IconCheckGeometry, CropOutsideThePhotoGivesNoReading) {
    const Rect window{100, 50, 400, 300};
    const QImage photo(800, 600, QImage::Format_ARGB32_Premultiplied);
    struct Case {
        const char* what;
        PaneSection section;
        Rect frame;
    } cases[] = {
        {"row at the window's left edge", PaneSection::accessibility, Rect{92, 100, 300, 36}},
        {"switch row at the window's left edge", PaneSection::background, Rect{99, 100, 300, 48}},
        {"row above the window", PaneSection::openAtLogin, Rect{150, 40, 300, 20}},
        {"row past the bottom", PaneSection::accessibility, Rect{150, 330, 300, 36}},
        {"row past the right edge", PaneSection::accessibility, Rect{485, 100, 300, 36}},
    };
    for (const auto& c : cases) {
        const auto r = row(c.section, c.frame);
        EXPECT_FALSE(IconCheck::cropRect(photo.size(), window, r)) << c.what;
        EXPECT_FALSE(IconCheck::read(photo, window, r, false)) << c.what;
    }
}

TEST(IconCheckGeometry, ZeroWidthWindowOrEmptyPhotoGivesNoReading) {
    const auto r = row(PaneSection::accessibility, Rect{150, 100, 300, 36});
    const QImage photo(800, 600, QImage::Format_ARGB32_Premultiplied);
    EXPECT_FALSE(IconCheck::read(photo, Rect{100, 50, 0, 300}, r, false));
    EXPECT_FALSE(IconCheck::read(photo, Rect{100, 50, -400, 300}, r, false));
    EXPECT_FALSE(IconCheck::read(photo, Rect{100, 50, std::nan(""), 300}, r, false));
    EXPECT_FALSE(IconCheck::read(photo, Rect{100, 50, 1e-300, 300}, r, false));
    EXPECT_FALSE(IconCheck::read(QImage(), Rect{100, 50, 400, 300}, r, false));
}

TEST(IconCheckGrey, CropIsRedrawnAtTwiceTheCropSideWhateverTheScale) {
    const QImage crop36(36, 36, QImage::Format_ARGB32_Premultiplied);
    const auto atScaleOne = IconCheck::grayPixels(crop36, 72);
    ASSERT_TRUE(atScaleOne);
    EXPECT_EQ(atScaleOne->width, 72);
    EXPECT_EQ(atScaleOne->height, 72);
    EXPECT_EQ(atScaleOne->values.size(), 72u * 72u);

    QImage crop72(72, 72, QImage::Format_ARGB32_Premultiplied);
    crop72.fill(Qt::black);
    crop72.setPixel(5, 3, qRgb(255, 255, 255));
    const auto atScaleTwo = IconCheck::grayPixels(crop72, 72);
    ASSERT_TRUE(atScaleTwo);
    // Used as cut: the single white pixel stays where it was, unblurred.
    EXPECT_EQ(atScaleTwo->values[3 * 72 + 5], 255);
    EXPECT_EQ(atScaleTwo->values[3 * 72 + 6], 0);
    EXPECT_FALSE(IconCheck::grayPixels(QImage()));
}

TEST(IconCheckGrey, BrightnessAndSaturationCountEveryPixel) {
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));      // bright 85, spread 255
    image.setPixel(1, 0, qRgba(90, 90, 90, 255));     // bright 90, spread 0
    image.setPixel(0, 1, qRgba(255, 255, 255, 0));    // transparent: black
    image.setPixel(1, 1, qRgba(255, 255, 255, 255));  // bright 255, spread 0
    const auto [brightness, saturation] = IconCheck::saturation(image);
    EXPECT_DOUBLE_EQ(brightness, (85 + 90 + 0 + 255) / 4.0);
    EXPECT_DOUBLE_EQ(saturation, 255 / 4.0);
    EXPECT_EQ(IconCheck::saturation(QImage()), std::make_pair(0.0, 0.0));
}

TEST(IconCheckVerdict, ThresholdsAtTheirBoundaries) {
    struct Case {
        double doc, app, saturation;
        bool blank;
    } cases[] = {
        {0.90, 0.40, 3, true},    {0.65, 0.20, 3, false},   // not more than 0.65
        {0.651, 0.20, 3, true},   {0.90, 0.40, 30, false},  // saturation 30 is colour
        {0.90, 0.40, 29.9, true}, {0.90, 0.75, 3, false},   // the application icon within 0.15
        {0.90, 0.749, 3, true},   {0.90, 0.95, 3, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IconCheck::looksBlank(c.doc, c.app, c.saturation), c.blank)
            << c.doc << " " << c.app << " " << c.saturation;
    }
}

TEST(IconReading, DescriptionFormat) {
    IconReading reading{201.4, 3.2, 0.912, 0.41, true};
    EXPECT_EQ(reading.description().toStdString(), "bright=201 sat=3 doc=0.91 app=0.41 blank=yes");
    // Halves round as the C library's printf rounds them: to even.
    reading = IconReading{12.6, 140.5, -1, 0.125, false};
    EXPECT_EQ(reading.description().toStdString(), "bright=13 sat=140 doc=-1.00 app=0.12 blank=no");
}

// Switches the numeric locale for one test and puts the previous one back.
class NumericLocale {
public:
    NumericLocale() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {}
    ~NumericLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
    bool use(const char* name) { return std::setlocale(LC_NUMERIC, name) != nullptr; }
    // The first installed locale of these whose decimal mark is a comma.
    bool useDecimalComma() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                                 "nl_NL.UTF-8", "ru_RU.UTF-8", "es_ES.UTF-8", "it_IT.UTF-8"}) {
            if (use(name) && std::string(std::localeconv()->decimal_point) == ",")
                return true;
        }
        use(previous_.c_str());
        return false;
    }

private:
    std::string previous_;
};

std::string printfFixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

TEST(IconReading, FixedRoundsAsPrintfInTheCLocale) {
    struct Case {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {0.912, 2, "0.91"},
        {-0.004, 2, "-0.00"},
        {1e20, 0, "100000000000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IconReading::fixed(c.value, c.decimals).toStdString(), c.text) << c.value;
    // Every eighth from -2 to 300 with both precisions, against the C library itself.
    NumericLocale locale;
    ASSERT_TRUE(locale.use("C"));
    for (int i = -16; i <= 2400; ++i) {
        const double v = i / 8.0;
        EXPECT_EQ(IconReading::fixed(v, 0).toStdString(), printfFixed(v, 0)) << v;
        EXPECT_EQ(IconReading::fixed(v, 2).toStdString(), printfFixed(v, 2)) << v;
    }
}

// Qt takes the numeric locale from the environment; a German one would make
// printf write "doc=0,91".
TEST(IconReading, DescriptionKeepsTheDecimalPointUnderADecimalCommaLocale) {
    NumericLocale locale;
    if (!locale.useDecimalComma())
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    ASSERT_EQ(printfFixed(0.5, 2), "0,50");  // the locale is in force
    const IconReading reading{201.4, 3.2, 0.912, 0.41, true};
    EXPECT_EQ(reading.description().toStdString(), "bright=201 sat=3 doc=0.91 app=0.41 blank=yes");
    EXPECT_EQ(IconReading::fixed(0.5, 2).toStdString(), "0.50");
}

TEST(IconCheckTemplates, DrawnOncePerSideAndAppearance) {
    const auto& light = IconCheck::templates(32, false);
    const auto& dark = IconCheck::templates(32, true);
    ASSERT_EQ(light.size(), 2u);
    EXPECT_EQ(light[0].size(), 32u * 32u);
    EXPECT_EQ(light[1].size(), 32u * 32u);
    EXPECT_EQ(&IconCheck::templates(32, false), &light);
    EXPECT_NE(light[0], dark[0]);
    // Corners are the appearance's background grey.
    EXPECT_EQ(light[0][0], 245);
    EXPECT_EQ(dark[0][0], 43);
    // The two icons must tell apart, or no row could ever be called blank.
    EXPECT_LT(IconCheck::bestNCC(light[0], 32, 32, light[1], 32), 0.85);
    EXPECT_LT(IconCheck::bestNCC(dark[0], 32, 32, dark[1], 32), 0.85);
}

TEST(IconCheckTemplates, ConcurrentCallersShareOneEntry) {
    std::vector<const IconCheck::Templates*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back(
            [&seen, i] { seen[i] = &IconCheck::templates(44 + static_cast<int>(i % 2), true); });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], seen[i % 2]);
    }
    EXPECT_NE(seen[0], seen[1]);
}

TEST(IconCheckTemplates, TakenFromTheWorkspacesIconsOncePerSideAndAppearance) {
    struct Recorder final : SystemIcons {
        QStringList asked;
        QImage generic(GenericIcon icon, int side, bool dark) override {
            const bool document = icon == GenericIcon::document;
            asked << QString("%1 %2 %3").arg(document ? "document" : "application").arg(side).arg(dark);
            QImage grey(side, side, QImage::Format_RGB32);
            grey.fill(QColor(100, 100, 100));
            return document ? grey : QImage();
        }
    } icons;
    test::ScopedCurrent<SystemIcons> use(&icons);
    const auto& templates = IconCheck::templates(7, true);
    IconCheck::templates(7, true);
    EXPECT_EQ(icons.asked, (QStringList{"document 7 1", "application 7 1"}));
    EXPECT_EQ(templates[0], std::vector<double>(49, 100.0));
    EXPECT_TRUE(templates[1].empty());  // no icon to be had
}

TEST(IconCheckTemplates, NoSideGivesEmptyTemplatesThatNeverMatch) {
    const auto& none = IconCheck::templates(0, false);
    ASSERT_EQ(none.size(), 2u);
    EXPECT_TRUE(none[0].empty());
    EXPECT_EQ(IconCheck::bestNCC(ramp(10, 10), 10, 10, none[0], 0), -1.0);
}

// The whole road: a simulated window photographed at its display's scale,
// each row's icon read from the photo.
struct PhotoCase {
    bool dark;
    double scale;
    PaneSection section;
};

class IconCheckOnPhoto : public ::testing::TestWithParam<PhotoCase> {};

TEST_P(IconCheckOnPhoto, BlankDocumentReadsBlankAndRealIconsDoNot) {
    const auto c = GetParam();
    const Rect window{120, 80, 715, 650};
    const auto layout = SimulatedPhoto::listLayout(window, c.section, 180,
                                                   {{"Gone Helper", SimulatedIcon::blankDocument},
                                                    {"Live Editor", SimulatedIcon::colourful},
                                                    {"Plain Tool", SimulatedIcon::genericApplication},
                                                    {"Another Gone", SimulatedIcon::blankDocument}});
    const QSize pixels(static_cast<int>(715 * c.scale), static_cast<int>(650 * c.scale));
    const QImage photo = SimulatedPhoto::render(layout, pixels, c.dark);
    ASSERT_FALSE(photo.isNull());

    std::vector<IconReading> readings;
    for (const PaneRow& row : SimulatedPhoto::paneRows(layout)) {
        const auto reading = IconCheck::read(photo, window, row, c.dark);
        ASSERT_TRUE(reading) << row.title.toStdString();
        readings.push_back(*reading);
    }
    auto text = [&](size_t i) { return readings[i].description().toStdString(); };
    EXPECT_TRUE(readings[0].blank) << text(0);
    EXPECT_GT(readings[0].baselineDiff, 0.8) << text(0);
    EXPECT_TRUE(readings[3].blank) << text(3);
    EXPECT_FALSE(readings[1].blank) << text(1);
    EXPECT_GE(readings[1].saturation, 30) << text(1);
    // Colourless, but more like the application icon than the document.
    EXPECT_FALSE(readings[2].blank) << text(2);
    EXPECT_LT(readings[2].saturation, 30) << text(2);
    EXPECT_GT(readings[2].appDiff, readings[2].baselineDiff) << text(2);
}

INSTANTIATE_TEST_SUITE_P(Appearances, IconCheckOnPhoto,
                         ::testing::Values(PhotoCase{false, 2, PaneSection::accessibility},
                                           PhotoCase{true, 2, PaneSection::accessibility},
                                           PhotoCase{false, 1, PaneSection::openAtLogin},
                                           PhotoCase{true, 1, PaneSection::openAtLogin},
                                           PhotoCase{false, 2, PaneSection::background},
                                           PhotoCase{true, 1, PaneSection::background}));

TEST(IconCheckOnPhoto, ShiftedCropDoesNotReadAsBlank) {
    // The reading must come from where the icon is: the same blank row read
    // through a window frame twelve points off finds no document there.
    const Rect window{100, 100, 715, 650};
    const auto layout = SimulatedPhoto::listLayout(window, PaneSection::accessibility, 180,
                                                   {{"Gone Helper", SimulatedIcon::blankDocument}});
    const QImage photo = SimulatedPhoto::render(layout, QSize(1430, 1300), false);
    Rect shifted = window;
    shifted.y += 12;
    const auto reading = IconCheck::read(photo, shifted, SimulatedPhoto::paneRows(layout)[0], false);
    ASSERT_TRUE(reading);
    EXPECT_FALSE(reading->blank) << reading->description().toStdString();
}
