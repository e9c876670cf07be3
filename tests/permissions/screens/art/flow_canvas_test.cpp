#include <gtest/gtest.h>

#include <QVBoxLayout>
#include <QWidget>
#include <cmath>
#include <memory>

#include "permissions/screens/art/FlowCanvas.h"
#include "permissions/screens/art/FlowClock.h"
#include "permissions/screens/art/OnScreenProbe.h"
#include "support/FakeClock.h"
#include "support/PlatformFakes.h"
#include "support/QtApp.h"
#include "support/WidgetProbe.h"
namespace rk {
namespace {

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

// It takes the width offered at 132 points tall.
TEST_F(FlowCanvasTest, AnimatesOnlyWhileItsWindowIsShown) {
    QWidget window;
    FlowCanvas* canvas = canvasIn(window);
    window.layout()->setContentsMargins(0, 0, 0, 0);
    window.resize(400, 300);
    test::settle();
    EXPECT_FALSE(canvas->isOnScreen());
    EXPECT_FALSE(canvas->isAnimating()) << "a canvas never shown runs no timer";

    window.show();
    test::settle();
    EXPECT_TRUE(canvas->isOnScreen());
    EXPECT_TRUE(canvas->isAnimating());
    EXPECT_EQ(canvas->size(), QSize(400, 132));

    window.hide();
    test::settle();
    EXPECT_FALSE(canvas->isOnScreen());
    EXPECT_FALSE(canvas->isAnimating());

    window.show();
    canvas->hide();  // hidden inside a shown window
    test::settle();
    EXPECT_FALSE(canvas->isAnimating());
}

TEST_F(FlowCanvasTest, ReducedMotionNeverAnimatesAndDrawsTheFirstFrame) {
    motion.reduce = true;
    QWidget window;
    FlowCanvas* canvas = canvasIn(window);
    window.show();
    test::settle();
    EXPECT_TRUE(canvas->isOnScreen());
    EXPECT_FALSE(canvas->isAnimating());
    EXPECT_EQ(canvas->frameTime(), 0);

    canvas->setReduceMotion(false);
    EXPECT_TRUE(canvas->isAnimating());
    EXPECT_GT(canvas->frameTime(), 0);
}

TEST_F(FlowCanvasTest, ProbeFollowsTheViewFromWindowToWindow) {
    QWidget first, second;
    auto* view = new QWidget(&first);
    int reports = 0;
    std::optional<bool> last;
    new KTOnScreenProbe(view, [&](bool visible) {
        ++reports;
        last = visible;
    });
    EXPECT_EQ(reports, 0) << "verdicts arrive one event-loop turn later";
    first.show();
    second.show();
    test::settle();
    EXPECT_EQ(last, true);

    view->setParent(&second);
    view->show();
    test::settle();
    EXPECT_EQ(last, true);
    const auto* probe = view->findChild<KTOnScreenProbe*>();
    EXPECT_EQ(probe->observedWindow(), &second);
    first.hide();
    const int before = reports;
    test::settle();
    EXPECT_EQ(reports, before) << "the first window is no longer watched";

    view->setParent(nullptr);  // out of every window, hidden
    test::settle();
    EXPECT_EQ(last, false);
    delete view;
}

TEST_F(FlowCanvasTest, AVerdictQueuedForAProbeThatIsGoneIsDropped) {
    QWidget window;
    window.show();
    test::settle();
    int reports = 0;
    auto* probe = new KTOnScreenProbe(&window, [&](bool) { ++reports; });
    delete probe;
    test::settle();
    EXPECT_EQ(reports, 0);
}

// A pinned time beats reduced motion, which beats the timeline: seconds since 2001.
TEST(FlowClock, PinnedTimeBeatsReducedMotionWhichBeatsTheTimeline) {
    const std::tuple<std::optional<double>, bool, double> cases[] = {
        {std::nullopt, false, 812.25}, {std::nullopt, true, 0}, {12.5, false, 12.5}, {12.5, true, 12.5}};
    for (const auto& [pinned, reduceMotion, expected] : cases) {
        KTFlowClockPin pin(pinned);
        EXPECT_EQ(KTFlowClock::frameTime(812.25, reduceMotion), expected)
            << pinned.value_or(-1) << reduceMotion;
    }
    EXPECT_FALSE(KTFlowClock::pinned()) << "the pin ends with its scope";
    EXPECT_DOUBLE_EQ(KTFlowClock::timelineSeconds(test::FakeClock(978'307'200.0 + 90.5).now()), 90.5);
}

// Dashes march 13 points a second and wrap at a thousand; the pulse
// breathes between a half and one every five and a half seconds.
TEST(FlowClock, DashesMarchAndThePulseBreathes) {
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
}

}  // namespace
}  // namespace rk
