#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "permissions/WizardBrand.h"
#include "permissions/screens/art/CapabilityArt.h"
#include "permissions/screens/art/FlowClock.h"
#include "support/FakeClock.h"
#include "support/PlatformFakes.h"
#include "support/QtApp.h"
#include "support/WidgetProbe.h"

namespace rk {
namespace {

KTArtColours colours(bool dark) {
    KTWizardBrand brand;
    brand.accent = [](bool) { return QColor(0xC8A872); };
    brand.ink = [](bool d) { return d ? QColor(0xF2F2F7) : QColor(0x1D1D1F); };
    brand.inkMuted = [](bool d) { return d ? QColor(0xA1A1A6) : QColor(0x5E5E63); };
    return KTArtColours::fromBrand(KTResolvedBrand(brand, dark), dark);
}

int paintedPixels(const QImage& image) {
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(image.pixel(x, y)) > 0;
    return painted;
}

// The diagrams that hold still whatever the time.
bool isStill(const QString& name) {
    return name == "files" || name == "menuBar" || name == "location";
}

class DiagramsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }

    // The entry's canvas at 400 points wide, made at the clock's present moment.
    static std::unique_ptr<FlowCanvas> canvas(const KTCapabilityArt::Entry& entry, bool dark) {
        auto canvas = std::make_unique<FlowCanvas>(entry.drawing(colours(dark)));
        canvas->resize(400, FlowCanvas::kHeight);
        return canvas;
    }

    test::FakeMotionPreference motion;
    test::ScopedCurrent<MotionPreference> installed{&motion};
    test::FakeClock clock{1'700'000'000.0};
    test::ScopedClock clockInstalled{clock};
};

TEST_F(DiagramsTest, CatalogueListsTheThirteenByName) {
    QStringList names;
    for (const auto& entry : KTCapabilityArt::catalogue())
        names << entry.name;
    EXPECT_EQ(names,
              QStringList({"crossing", "capture", "files", "menuBar", "arranging", "listening", "location",
                           "bluetooth", "notifications", "calendar", "camera", "typing", "contextMenuRow"}));
}

TEST_F(DiagramsTest, EveryDiagramDrawsAtPinnedTimesInBothSchemes) {
    for (const auto& entry : KTCapabilityArt::catalogue()) {
        for (bool dark : {false, true}) {
            const QString name = entry.name + (dark ? "-dark" : "-light");
            auto still = canvas(entry, dark);
            QImage frames[2];
            for (int i = 0; i < 2; ++i) {
                KTFlowClockPin pin(i == 0 ? 0.0 : 1.375);
                frames[i] = still->renderFrame(2);
                test::savePng(frames[i], QStringLiteral("art-%1-%2").arg(name).arg(i));
            }
            EXPECT_EQ(frames[0].size(), QSize(800, 264)) << name.toStdString();
            EXPECT_GT(paintedPixels(frames[0]), 2000) << name.toStdString();
            EXPECT_EQ(frames[0] == frames[1], isStill(entry.name)) << name.toStdString();
        }
    }
}

TEST_F(DiagramsTest, ReducedMotionHoldsThePictureStillUnlessTheClockIsPinned) {
    for (bool reduce : {false, true}) {
        motion.reduce = reduce;
        for (const auto& entry : KTCapabilityArt::catalogue()) {
            clock.set(1'700'000'000.0);
            const QImage first = canvas(entry, false)->renderFrame();
            clock.advance(2.0);
            const QImage later = canvas(entry, false)->renderFrame();
            const bool moves = !reduce && !isStill(entry.name);
            EXPECT_EQ(first != later, moves) << entry.name.toStdString() << " reduce " << reduce;
        }
    }
    // A pin wins over reduced motion.
    const auto& capture = KTCapabilityArt::catalogue().at(1);
    const KTFlowDraw drawing = capture.drawing(colours(false));
    KTFlowClockPin pin(1.375);
    EXPECT_EQ(canvas(capture, false)->renderFrame(), FlowCanvas::renderStill(drawing, {400, 132}, 1.375));
    EXPECT_NE(canvas(capture, false)->renderFrame(), FlowCanvas::renderStill(drawing, {400, 132}, 0));
}

TEST_F(DiagramsTest, ExtraSettingsKeepTheirDefaults) {
    const KTArtColours light = colours(false);
    const QSizeF size(400, 132);
    const auto render = [&](FlowCanvas* canvas) {
        std::unique_ptr<FlowCanvas> owned(canvas);
        owned->resize(size.toSize());
        return owned->renderFrame();
    };
    KTFlowClockPin pin(3.0);
    EXPECT_EQ(render(KTCapabilityArt::crossing(light)), render(KTCapabilityArt::crossing(light, true)));
    EXPECT_NE(render(KTCapabilityArt::crossing(light)), render(KTCapabilityArt::crossing(light, false)));
    EXPECT_EQ(render(KTCapabilityArt::contextMenuRow(light)),
              render(KTCapabilityArt::contextMenuRow(light, 96)));
    // Below a 74-point label the menu keeps its least width of 120.
    EXPECT_EQ(render(KTCapabilityArt::contextMenuRow(light, 10)),
              render(KTCapabilityArt::contextMenuRow(light, 74)));
}

}  // namespace
}  // namespace rk
