#include "permissions/screens/WaitingArc.h"

#include <QPainter>
#include <QPainterPath>

#include "platform/MotionPreference.h"
#include "ui/Rendering.h"

namespace rk {

WaitingArc::WaitingArc(const QColor& colour, QWidget* parent)
    : QWidget(parent),
      colour_(colour),
      still_(MotionPreference::current().reduceMotion() || Rendering::isStatic()) {
    setFixedSize(side, side);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // About sixty frames a second; a precise timer keeps the turn even.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(16);
    connect(&timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

double WaitingArc::angle() const {
    if (!timer_.isActive())
        return 0;
    return double(clock_.elapsed() % turnMilliseconds) * 360.0 / turnMilliseconds;
}

void WaitingArc::showEvent(QShowEvent*) {
    if (still_)
        return;
    clock_.start();
    timer_.start();
}

void WaitingArc::hideEvent(QHideEvent*) {
    timer_.stop();
}

void WaitingArc::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.rotate(angle());
    // The stroke lies inside the 13-point square: the path runs one point in.
    const double radius = side / 2.0 - 1.0;
    const QRectF box(-radius, -radius, 2 * radius, 2 * radius);
    // From 0.12 to 0.82 of the outline, starting at three o'clock and going
    // clockwise on screen (Qt's angles go the other way).
    QPainterPath arc;
    arc.arcMoveTo(box, -0.12 * 360);
    arc.arcTo(box, -0.12 * 360, -0.70 * 360);
    QPen pen(colour_, 2, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.setPen(pen);
    painter.drawPath(arc);
}

}  // namespace rk
