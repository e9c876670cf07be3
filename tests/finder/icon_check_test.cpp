#include <gtest/gtest.h>

#include <QPainter>
#include <clocale>
#include <string>
#include <thread>

#include "finder/IconCheck.h"
#include "finder/SettingsDriver.h"
#include "finder/WindowShot.h"
#include "platform/SystemIcons.h"
#include "support/PlatformFakes.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"

using namespace rk;

namespace {

[[maybe_unused]] const auto* const kGui =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::gui, "icon_check_test"));

constexpr auto acc = PaneSection::accessibility;
constexpr auto bg = PaneSection::background;

std::vector<double> ramp(int width, int height) {
    std::vector<double> values;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            values.push_back((x * 37 + y * 91 + (x * y) % 13) % 256);
    }
    return values;
}

PaneRow row(PaneSection section, Rect frame) {
    return PaneRow{section, "Row", frame, 0, section != bg, std::nullopt};
}

}  // namespace

TEST(IconCheckNCC, BestPlacementAndUnusableInputs) {
    const auto image = ramp(30, 24);
    std::vector<double> patch, inverted;
    for (int y = 5; y < 13; ++y) {
        for (int x = 9; x < 17; ++x)
            patch.push_back(image[static_cast<size_t>(y) * 30 + x]);
    }
    EXPECT_NEAR(IconCheck::bestNCC(image, 30, 24, patch, 8), 1.0, 1e-9);  // found where it was cut
    for (const double v : ramp(8, 8))
        inverted.push_back(255 - v);
    EXPECT_NEAR(IconCheck::bestNCC(inverted, 8, 8, ramp(8, 8), 8), -1.0, 1e-9);

    const struct {
        const char* what;
        std::vector<double> image;
        int width, height;
        std::vector<double> tmpl;
    } unusable[] = {
        {"flat template", ramp(10, 10), 10, 10, std::vector<double>(16, 128.0)},
        {"image narrower than template", ramp(3, 10), 3, 10, ramp(4, 4)},
        {"image lower than template", ramp(10, 3), 10, 3, ramp(4, 4)},
        {"template not side x side", ramp(10, 10), 10, 10, ramp(4, 3)},
        {"empty template", ramp(10, 10), 10, 10, {}},
        {"image shorter than its size", ramp(10, 5), 10, 10, ramp(4, 4)},
        {"flat image", std::vector<double>(100, 7.0), 10, 10, ramp(4, 4)},
    };
    for (const auto& c : unusable)
        EXPECT_EQ(IconCheck::bestNCC(c.image, c.width, c.height, c.tmpl, 4), -1.0) << c.what;
}

TEST(IconCheckGeometry, CropAroundTheIconInPhotoPixelsButNoReadingOutsideThePhotoOrWithoutAWindowWidth) {
    const Rect window{100, 50, 400, 300};
    const struct {
        const char* what;
        QSize photo;
        PaneRow row;
        QRect crop;
    } cases[] = {
        // Centre (168, 119) less half of 36 points, less the window's origin.
        {"switch row at scale 1", QSize(400, 300), row(bg, Rect{150, 100, 300, 48}), QRect(50, 51, 36, 36)},
        {"switch row at scale 2", QSize(800, 600), row(bg, Rect{150, 100, 300, 48}), QRect(100, 102, 72, 72)},
        {"half points widen outwards", QSize(400, 300), row(acc, Rect{150.25, 100, 300, 35}),
         QRect(57, 54, 27, 27)},
        {"starting on the photo's edge", QSize(800, 600), row(acc, Rect{93, 100, 300, 36}),
         QRect(0, 110, 52, 52)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IconCheck::cropRect(c.photo, window, c.row), c.crop) << c.what;
    QImage photo(800, 600, QImage::Format_ARGB32_Premultiplied);
    const struct {
        const char* what;
        PaneRow row;
        Rect window;
    } outside[] = {
        {"row at the window's left edge", row(acc, Rect{92, 100, 300, 36}), window},
        {"switch row at the window's left edge", row(bg, Rect{99, 100, 300, 48}), window},
        {"row above the window", row(PaneSection::openAtLogin, Rect{150, 40, 300, 20}), window},
        {"row past the bottom", row(acc, Rect{150, 330, 300, 36}), window},
        {"row past the right edge", row(acc, Rect{485, 100, 300, 36}), window},
        {"zero width", row(acc, Rect{150, 100, 300, 36}), Rect{100, 50, 0, 300}},
        {"negative width", row(acc, Rect{150, 100, 300, 36}), Rect{100, 50, -400, 300}},
        {"width not a number", row(acc, Rect{150, 100, 300, 36}), Rect{100, 50, std::nan(""), 300}},
        {"width next to nothing", row(acc, Rect{150, 100, 300, 36}), Rect{100, 50, 1e-300, 300}},
    };
    for (const auto& c : outside) {
        EXPECT_FALSE(IconCheck::cropRect(photo.size(), c.window, c.row)) << c.what;
        EXPECT_FALSE(IconCheck::read(photo, c.window, c.row, false)) << c.what;
    }
    EXPECT_FALSE(IconCheck::read(QImage(), window, row(acc, Rect{150, 100, 300, 36}), false));
}

TEST(IconCheckVerdict, BrightnessAndSaturationCountEveryPixelAndTheThresholdsHoldAtTheirBoundaries) {
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));      // bright 85, spread 255
    image.setPixel(1, 0, qRgba(90, 90, 90, 255));     // bright 90, spread 0
    image.setPixel(0, 1, qRgba(255, 255, 255, 0));    // transparent: black
    image.setPixel(1, 1, qRgba(255, 255, 255, 255));  // bright 255, spread 0
    EXPECT_EQ(IconCheck::saturation(image), std::pair((85 + 90 + 0 + 255) / 4.0, 255 / 4.0));
    EXPECT_EQ(IconCheck::saturation(QImage()), std::pair(0.0, 0.0));
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

// The texts round as printf rounds in the C locale (halves to even), and
// keep their decimal point under a locale with a decimal comma, where Qt's
// own setting of the numeric locale would make printf write "doc=0,91".
TEST(IconReading, DescriptionRoundsAsPrintfInTheCLocaleUnderAnyLocale) {
    const IconReading reading{201.4, 3.2, 0.912, 0.41, true};
    const std::string text = "bright=201 sat=3 doc=0.91 app=0.41 blank=yes";
    EXPECT_EQ(reading.description().toStdString(), text);
    EXPECT_EQ((IconReading{12.6, 140.5, -1, 0.125, false}).description().toStdString(),
              "bright=13 sat=140 doc=-1.00 app=0.12 blank=no");
    EXPECT_EQ(IconReading::fixed(-0.004, 2), "-0.00");
    EXPECT_EQ(IconReading::fixed(1e20, 0), "100000000000000000000");

    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8", "ru_RU.UTF-8"}) {
        if (!std::setlocale(LC_NUMERIC, name) || std::string(std::localeconv()->decimal_point) != ",")
            continue;
        EXPECT_EQ(reading.description().toStdString(), text) << name;
        EXPECT_EQ(IconReading::fixed(0.5, 2), "0.50") << name;
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(IconCheckTemplates, ConcurrentCallersShareOneEntryTakenFromTheWorkspacesIconsOncePerSideAndAppearance) {
    std::vector<const IconCheck::Templates*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back(
            [&seen, i] { seen[i] = &IconCheck::templates(44 + static_cast<int>(i % 2), true); });
    for (auto& t : threads)
        t.join();
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], seen[i % 2]);
    EXPECT_NE(seen[0], seen[1]);
    // No side gives empty templates that never match.
    const auto& none = IconCheck::templates(0, false);
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(IconCheck::bestNCC(ramp(10, 10), 10, 10, none[0], 0), -1.0);
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

// The photo's road on a simulated System Settings, in both appearances, at
// both display scales and on both pages: read the page, select a row,
// photograph the window and test each row's icon against the generic art.
// (The marks on such a photo are checked by the app model's accessibility road.)
TEST(IconCheckOnPhoto, OnlyBlankIconsReadBlank) {
    using namespace rk::test;
    const struct {
        bool dark;
        double scale;
        Pane pane;
    } roads[] = {{false, 1, Pane::accessibility},
                 {true, 2, Pane::accessibility},
                 {false, 2, Pane::loginItems},
                 {true, 1, Pane::loginItems}};
    for (const auto& [dark, scale, pane] : roads) {
        SCOPED_TRACE(testing::Message()
                     << (dark ? "dark " : "light ") << scale << " " << rawValue(pane).toStdString());
        SimulatedSettings settings;
        settings.install();
        const QList<SimulatedRow> rows{{"Gone Helper", SimulatedIcon::blankDocument, "com.gone.helper"},
                                       {"Live Editor", SimulatedIcon::colourful, "com.live.editor"},
                                       {"Plain Tool", SimulatedIcon::genericApplication, "/opt/tool"}};
        settings.setAccessibilityRows(rows);
        settings.setOpenAtLoginRows(rows);
        settings.setBackgroundItems({{"Gone Agent", "1 item", SimulatedIcon::blankDocument, true, "a"},
                                     {"Live Agent", "", SimulatedIcon::colourful, true, "b"},
                                     {"Plain Agent", "", SimulatedIcon::genericApplication, true, "c"}});
        settings.showPage(pane == Pane::accessibility ? SimulatedPage::accessibility
                                                      : SimulatedPage::loginItems);
        SimulatedPhoto capture;
        capture.attach(settings, scale, dark);

        // The program selects the first row before it takes the photo.
        const auto before = SettingsDriver::snapshot(pane);
        ASSERT_TRUE(before && SettingsDriver::select(before->rows[0], *before));
        const auto s = SettingsDriver::snapshot(pane);
        ASSERT_TRUE(s && s->windowNumber);
        const auto photo = WindowShot::capture(*s->windowNumber, capture);
        ASSERT_TRUE(photo);
        const QList<SimulatedLayoutRow> drawn = settings.layout().rows;
        ASSERT_EQ(drawn.size(), s->rows.size());
        for (qsizetype i = 0; i < s->rows.size(); ++i) {
            const auto reading = IconCheck::read(*photo, s->windowFrame, s->rows[i], dark);
            ASSERT_TRUE(reading) << s->rows[i].title.toStdString();
            const std::string text =
                s->rows[i].title.toStdString() + ": " + reading->description().toStdString();
            EXPECT_EQ(reading->blank, drawn[i].icon == SimulatedIcon::blankDocument) << text;
            if (drawn[i].icon == SimulatedIcon::colourful) {
                EXPECT_GE(reading->saturation, 30) << text;
            } else if (drawn[i].icon == SimulatedIcon::genericApplication) {
                // Colourless, but more like the application icon than the document.
                EXPECT_LT(reading->saturation, 30) << text;
                EXPECT_GT(reading->appDiff, reading->baselineDiff) << text;
            }
        }
    }
}
