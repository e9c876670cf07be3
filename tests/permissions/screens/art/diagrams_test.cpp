#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "permissions/WizardBrand.h"
#include "permissions/screens/art/CapabilityArt.h"
#include "permissions/screens/art/FlowClock.h"
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

    test::FakeMotionPreference motion;
    test::ScopedCurrent<MotionPreference> installed{&motion};
};

TEST_F(DiagramsTest, EveryDiagramDrawsAtPinnedTimesInBothSchemes) {
    ASSERT_EQ(KTCapabilityArt::catalogue().size(), 13);
    for (const auto& entry : KTCapabilityArt::catalogue()) {
        for (bool dark : {false, true}) {
            const QString name = entry.name + (dark ? "-dark" : "-light");
            FlowCanvas still(entry.drawing(colours(dark)));
            still.resize(400, FlowCanvas::kHeight);
            QImage frames[2];
            for (int i = 0; i < 2; ++i) {
                KTFlowClockPin pin(i == 0 ? 0.0 : 1.375);
                frames[i] = still.renderFrame(2);
                test::savePng(frames[i], QStringLiteral("art-%1-%2").arg(name).arg(i));
            }
            EXPECT_EQ(frames[0].size(), QSize(800, 264)) << name.toStdString();
            EXPECT_GT(paintedPixels(frames[0]), 2000) << name.toStdString();
            EXPECT_EQ(frames[0] == frames[1], isStill(entry.name)) << name.toStdString();
        }
    }
}

// The pointer can be left out of the crossing; a row label narrower than
// 74 points keeps the menu at its least width.
TEST_F(DiagramsTest, ExtraSettingsChangeThePicture) {
    const KTArtColours light = colours(false);
    const auto render = [&](FlowCanvas* canvas) {
        std::unique_ptr<FlowCanvas> owned(canvas);
        owned->resize(400, FlowCanvas::kHeight);
        return owned->renderFrame();
    };
    KTFlowClockPin pin(3.0);
    EXPECT_NE(render(KTCapabilityArt::crossing(light)), render(KTCapabilityArt::crossing(light, false)));
    EXPECT_EQ(render(KTCapabilityArt::contextMenuRow(light, 10)),
              render(KTCapabilityArt::contextMenuRow(light, 74)));
    EXPECT_NE(render(KTCapabilityArt::contextMenuRow(light)),
              render(KTCapabilityArt::contextMenuRow(light, 74)));
}

}  // namespace
}  // namespace rk
