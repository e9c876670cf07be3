#pragma once
// The one view every capability diagram draws on. It owns the animation's
// timing: while the person can see it (its on-screen probe says so) and
// motion is not reduced, a Qt timer redraws it about thirty times a second;
// otherwise no timer runs and it keeps showing its last frame. Each frame
// hands the diagram one time value t in seconds (see `KTFlowClock` for
// pinned time and reduced motion), from which the diagram computes every
// moving part, so any t is a complete frame and missed frames are never
// replayed.
//
// The canvas is 132 points tall and as wide as its parent makes it; one
// point is one logical pixel. It paints nothing but the diagram, so what is
// behind it shows through. Main thread only; `renderStill` may run anywhere.

#include <QImage>
#include <QSizeF>
#include <QTimer>
#include <QWidget>
#include <functional>

class QPainter;

namespace rk {

// A diagram's drawing: the painter (its state is restored after the call),
// the canvas size in points, and t in seconds.
using KTFlowDraw = std::function<void(QPainter& painter, const QSizeF& size, double t)>;

class FlowCanvas final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 132;

    // Reads whether motion is reduced from `MotionPreference::current()`.
    explicit FlowCanvas(KTFlowDraw draw, QWidget* parent = nullptr);

    // With reduced motion the canvas never animates and draws t = 0 (unless
    // the flow clock is pinned). A host that follows the setting as it
    // changes passes the new value here.
    bool reduceMotion() const { return reduceMotion_; }
    void setReduceMotion(bool reduce);

    // Whether the probe last said the person can see the canvas.
    bool isOnScreen() const { return onScreen_; }
    // Whether the redraw timer runs: only while on screen with motion allowed.
    bool isAnimating() const { return timer_.isActive(); }

    // The t of the frame the canvas shows now.
    double frameTime() const;
    // The frame the canvas shows now, drawn offscreen at its current size.
    QImage renderFrame(qreal devicePixelRatio = 1.0) const;
    // `draw` at time `t` on a transparent image of `size` points.
    static QImage renderStill(const KTFlowDraw& draw, const QSizeF& size, double t,
                              qreal devicePixelRatio = 1.0);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The probe's binding.
    void setOnScreen(bool visible);
    // Runs the timer exactly while the canvas animates.
    void updateTimer();
    // One timeline entry: the frame moves to the clock's present moment.
    void advance();

    static void paintFrame(QPainter& painter, const KTFlowDraw& draw, const QSizeF& size, double t);

    KTFlowDraw draw_;
    bool reduceMotion_ = false;
    bool onScreen_ = false;
    double timelineSeconds_ = 0;  // the moment of the last timeline entry
    QTimer timer_;
};

}  // namespace rk
