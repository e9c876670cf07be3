// The capability diagrams, the flow canvas and its on-screen probe, the flow clock.

#include <gtest/gtest.h>

#include <QImage>
#include <QVBoxLayout>
#include <QWidget>
#include <cmath>
#include <memory>

#include "permissions/WizardBrand.h"
#include "permissions/screens/art/CapabilityArt.h"
#include "permissions/screens/art/FlowCanvas.h"
#include "permissions/screens/art/FlowClock.h"
#include "permissions/screens/art/OnScreenProbe.h"
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

class FlowCanvasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }

    // A window holding a canvas that draws nothing.
    FlowCanvas* canvasIn(QWidget& window) {
        auto* layout = new QVBoxLayout(&window);
        auto* canvas = new FlowCanvas([](QPainter&, const QSizeF&, double) {});
        layout->addWidget(canvas);
        return canvas;
    }

    test::FakeMotionPreference motion;
    test::ScopedCurrent<MotionPreference> installed{&motion};
};

TEST_F(FlowCanvasTest, AnimatesOnlyWhileShownItsProbeFollowsTheClockRunsAndEveryDiagramDraws) {
    QWidget window;
    FlowCanvas* canvas = canvasIn(window);
    window.layout()->setContentsMargins(0, 0, 0, 0);
    window.resize(400, 300);
    test::settle();
    EXPECT_FALSE(canvas->isOnScreen() || canvas->isAnimating()) << "a canvas never shown runs no timer";
    window.show();
    test::settle();
    EXPECT_TRUE(canvas->isOnScreen() && canvas->isAnimating());
    EXPECT_EQ(canvas->size(), QSize(400, 132));
    window.hide();
    test::settle();
    EXPECT_FALSE(canvas->isOnScreen() || canvas->isAnimating());
    window.show();
    canvas->hide();  // hidden inside a shown window
    test::settle();
    EXPECT_FALSE(canvas->isAnimating());

    motion.reduce = true;
    QWidget still;
    FlowCanvas* reduced = canvasIn(still);
    still.show();
    test::settle();
    EXPECT_TRUE(reduced->isOnScreen() && !reduced->isAnimating());
    EXPECT_EQ(reduced->frameTime(), 0);
    reduced->setReduceMotion(false);
    EXPECT_TRUE(reduced->isAnimating() && reduced->frameTime() > 0);

    QWidget first, second;
    auto* view = new QWidget(&first);
    int reports = 0;
    std::optional<bool> last;
    new KTOnScreenProbe(view, [&](bool visible) { ++reports, last = visible; });
    EXPECT_EQ(reports, 0) << "verdicts arrive one event-loop turn later";
    first.show();
    second.show();
    test::settle();
    EXPECT_EQ(last, true);
    view->setParent(&second);
    view->show();
    test::settle();
    EXPECT_EQ(last, true);
    EXPECT_EQ(view->findChild<KTOnScreenProbe*>()->observedWindow(), &second);
    first.hide();
    int before = reports;
    test::settle();
    EXPECT_EQ(reports, before) << "the first window is no longer watched";
    view->setParent(nullptr);  // out of every window, hidden
    test::settle();
    EXPECT_EQ(last, false);
    delete view;

    before = reports;  // a verdict queued for a probe that is gone is dropped
    delete new KTOnScreenProbe(&second, [&](bool) { ++reports; });
    test::settle();
    EXPECT_EQ(reports, before);

    // A pinned time beats reduced motion, which beats the timeline (seconds since
    // 2001). Dashes march 13 points a second and wrap at a thousand; the pulse
    // breathes between a half and one every five and a half seconds.
    const std::tuple<std::optional<double>, bool, double> cases[] = {
        {std::nullopt, false, 812.25}, {std::nullopt, true, 0}, {12.5, false, 12.5}, {12.5, true, 12.5}};
    for (const auto& [pinned, reduceMotion, expected] : cases) {
        KTFlowClockPin pin(pinned);
        EXPECT_EQ(KTFlowClock::frameTime(812.25, reduceMotion), expected)
            << pinned.value_or(-1) << reduceMotion;
    }
    EXPECT_FALSE(KTFlowClock::pinned()) << "the pin ends with its scope";
    EXPECT_DOUBLE_EQ(KTFlowClock::timelineSeconds(test::FakeClock(978'307'200.0 + 90.5).now()), 90.5);

    EXPECT_DOUBLE_EQ(KTFlowClock::dashPhase(1), -13);
    // Seconds since 2001 are large; the phase stays within one wrap, on the
    // same 10-point pattern as the unwrapped value.
    const double now = 812'345'678.9;
    const double phase = KTFlowClock::dashPhase(now);
    EXPECT_TRUE(phase > -1000 && phase <= 0) << phase;
    EXPECT_NEAR(std::fmod(-phase, 10), std::fmod(13 * now, 10), 1e-3);
    EXPECT_NEAR(KTFlowClock::pulse(1.375), 1.0, 1e-12);
    EXPECT_NEAR(KTFlowClock::pulse(4.125), 0.55, 1e-12);
    EXPECT_NEAR(KTFlowClock::pulse(2.0), KTFlowClock::pulse(2.0 + 5.5), 1e-12);
    EXPECT_NEAR(KTFlowClock::pulse(0, 0.18), KTFlowClock::pulse(-0.18 * 5.5), 1e-12) << "a lag in cycles";

    // Every diagram draws at pinned times in both schemes.
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

    // The pointer can be left out of the crossing; a row label narrower than
    // 74 points keeps the menu at its least width.
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
