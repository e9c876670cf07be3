#include "permissions/screens/art/FlowCanvas.h"

#include <QPainter>
#include <cmath>

#include "permissions/screens/art/FlowClock.h"
#include "permissions/screens/art/OnScreenProbe.h"
#include "platform/MotionPreference.h"

namespace rk {

FlowCanvas::FlowCanvas(KTFlowDraw draw, QWidget* parent)
    : QWidget(parent),
      draw_(std::move(draw)),
      reduceMotion_(MotionPreference::current().reduceMotion()),
      timelineSeconds_(KTFlowClock::timelineSeconds(Clock::current().now())) {
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    timer_.setInterval(int(std::lround(KTFlowClock::kFrameInterval * 1000)));
    connect(&timer_, &QTimer::timeout, this, &FlowCanvas::advance);
    // A child of the canvas: it goes when the canvas goes.
    new KTOnScreenProbe(this, [this](bool visible) { setOnScreen(visible); });
}

void FlowCanvas::setReduceMotion(bool reduce) {
    if (reduce == reduceMotion_)
        return;
    reduceMotion_ = reduce;
    updateTimer();
    update();
}

void FlowCanvas::setOnScreen(bool visible) {
    if (visible == onScreen_)
        return;
    onScreen_ = visible;
    updateTimer();
}

void FlowCanvas::updateTimer() {
    const bool animate = onScreen_ && !reduceMotion_;
    if (animate == timer_.isActive())
        return;
    if (animate) {
        // Resume at the present moment; the frames missed while paused are gone.
        advance();
        timer_.start();
    } else {
        timer_.stop();
    }
}

void FlowCanvas::advance() {
    timelineSeconds_ = KTFlowClock::timelineSeconds(Clock::current().now());
    update();
}

double FlowCanvas::frameTime() const {
    return KTFlowClock::frameTime(timelineSeconds_, reduceMotion_);
}

QSize FlowCanvas::sizeHint() const {
    return {400, kHeight};
}

void FlowCanvas::paintFrame(QPainter& painter, const KTFlowDraw& draw, const QSizeF& size, double t) {
    if (!draw)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, size, t);
    painter.restore();
}

void FlowCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintFrame(painter, draw_, size(), frameTime());
}

QImage FlowCanvas::renderFrame(qreal devicePixelRatio) const {
    return renderStill(draw_, size(), frameTime(), devicePixelRatio);
}

QImage FlowCanvas::renderStill(const KTFlowDraw& draw, const QSizeF& size, double t, qreal devicePixelRatio) {
    const QSize pixels = (size * devicePixelRatio).toSize();
    if (pixels.isEmpty())
        return {};
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintFrame(painter, draw, size, t);
    return image;
}

}  // namespace rk
