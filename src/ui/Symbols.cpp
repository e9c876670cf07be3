#include "ui/Symbols.h"

#include <QPainterPath>
#include <QtMath>
#include <cmath>

#include "ui/Rendering.h"

namespace rk {

namespace {

QRectF centredSquare(const QRectF& rect) {
    const double side = std::min(rect.width(), rect.height());
    return {rect.center().x() - side / 2, rect.center().y() - side / 2, side, side};
}

// Coordinates below are on a 24-unit grid mapped onto the square.
struct Grid {
    QRectF square;
    double unit() const { return square.width() / 24.0; }
    QPointF at(double x, double y) const { return {square.x() + x * unit(), square.y() + y * unit()}; }
};

void drawHourglass(QPainter& p, const Grid& g, const QColor& c) {
    const double u = g.unit();
    p.setPen(QPen(c, 1.8 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(g.at(6, 3), g.at(18, 3));
    p.drawLine(g.at(6, 21), g.at(18, 21));
    QPainterPath glass;
    glass.moveTo(g.at(7.5, 3));
    glass.cubicTo(g.at(7.5, 8), g.at(10.5, 10.5), g.at(10.8, 12));
    glass.cubicTo(g.at(10.5, 13.5), g.at(7.5, 16), g.at(7.5, 21));
    glass.moveTo(g.at(16.5, 3));
    glass.cubicTo(g.at(16.5, 8), g.at(13.5, 10.5), g.at(13.2, 12));
    glass.cubicTo(g.at(13.5, 13.5), g.at(16.5, 16), g.at(16.5, 21));
    p.drawPath(glass);
    QPainterPath sand;
    sand.moveTo(g.at(9, 20));
    sand.lineTo(g.at(15, 20));
    sand.quadTo(g.at(14, 16.5), g.at(12, 15.5));
    sand.quadTo(g.at(10, 16.5), g.at(9, 20));
    p.fillPath(sand, c);
}

void drawCheckDisc(QPainter& p, const Grid& g, const QColor& c) {
    const double u = g.unit();
    QPainterPath disc;
    disc.addEllipse(QRectF(g.at(2, 2), g.at(22, 22)));
    QPainterPath tick;
    tick.moveTo(g.at(7, 12.5));
    tick.lineTo(g.at(10.5, 16));
    tick.lineTo(g.at(17, 8.5));
    QPainterPathStroker stroker;
    stroker.setWidth(2.4 * u);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    p.fillPath(disc.subtracted(stroker.createStroke(tick)), c);
}

void drawRing(QPainter& p, const Grid& g, const QColor& c) {
    p.setPen(QPen(c, 1.8 * g.unit()));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(g.at(3, 3), g.at(21, 21)));
}

void drawArrowDownRing(QPainter& p, const Grid& g, const QColor& c) {
    drawRing(p, g, c);
    p.setPen(QPen(c, 1.9 * g.unit(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(g.at(12, 7.5), g.at(12, 16.5));
    QPainterPath head;
    head.moveTo(g.at(8, 12.8));
    head.lineTo(g.at(12, 16.8));
    head.lineTo(g.at(16, 12.8));
    p.drawPath(head);
}

void drawLaptop(QPainter& p, const Grid& g, const QColor& c) {
    const double u = g.unit();
    p.setPen(QPen(c, 1.7 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(g.at(4.5, 5), g.at(19.5, 16)), 1.5 * u, 1.5 * u);
    QPainterPath base;
    base.moveTo(g.at(1.5, 18.5));
    base.lineTo(g.at(22.5, 18.5));
    base.lineTo(g.at(21.5, 20));
    base.lineTo(g.at(2.5, 20));
    base.closeSubpath();
    p.fillPath(base, c);
    p.drawPath(base);
}

// A gear of eight flat-topped teeth between `inner` and `outer`, with a
// round hole of radius `hole`, all in grid units.
QPainterPath gearPath(const Grid& g, QPointF centre, double outer, double inner, double hole) {
    const double u = g.unit();
    QPainterPath outline;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        // Alternate outer and inner radius in pairs so each tooth has a flat top.
        const double angle = (i - 0.5) * M_PI * 2 / (teeth * 4);
        const double radius = ((i / 2) % 2 == 0 ? outer : inner) * u;
        const QPointF point(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0) {
            outline.moveTo(point);
        } else {
            outline.lineTo(point);
        }
    }
    outline.closeSubpath();
    QPainterPath cut;
    cut.addEllipse(centre, hole * u, hole * u);
    return outline.subtracted(cut);
}

void drawGear(QPainter& p, const Grid& g, const QColor& c) {
    p.fillPath(gearPath(g, g.at(12, 12), 10.0, 7.6, 3.4), c);
}

// A stroke of `width` grid units with round ends and corners around `path`.
QPainterPath roundStroke(const QPainterPath& path, double width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

void drawHand(QPainter& p, const Grid& g, const QColor& c) {
    const double u = g.unit();
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    // Four fingers, the middle ones longest, over a rounded palm.
    const double fingers[4][3] = {{6.8, 5.5, 9}, {9.9, 3.0, 11}, {13.0, 3.8, 10}, {16.1, 6.3, 8.5}};
    for (const auto& finger : fingers) {
        hand.addRoundedRect(QRectF(g.at(finger[0], finger[1]), QSizeF(2.6 * u, finger[2] * u)), 1.3 * u,
                            1.3 * u);
    }
    hand.addRoundedRect(QRectF(g.at(6.8, 10), QSizeF(11.8 * u, 11.5 * u)), 4 * u, 4 * u);
    QPainterPath thumb;
    thumb.moveTo(g.at(4.4, 12));
    thumb.lineTo(g.at(7.8, 16.5));
    hand.addPath(roundStroke(thumb, 2.6 * u));
    p.fillPath(hand.simplified(), c);
}

// Two arcs of radius `r` about the centre, each ending in a filled head,
// chasing each other clockwise.
void drawChasingArrows(QPainter& p, const Grid& g, const QColor& c, double r) {
    const double u = g.unit();
    const QPointF centre = g.at(12, 12);
    const QRectF box(centre.x() - r * u, centre.y() - r * u, 2 * r * u, 2 * r * u);
    p.setPen(QPen(c, 1.9 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    for (const double start : {160.0, 340.0}) {
        const double sweep = -125.0;
        QPainterPath arc;
        arc.arcMoveTo(box, start);
        arc.arcTo(box, start, sweep);
        p.drawPath(arc);
        // The head points along the clockwise tangent at the arc's end.
        const double end = qDegreesToRadians(start + sweep);
        const QPointF tip = arc.currentPosition();
        const QPointF along(std::sin(end), std::cos(end));
        const QPointF across(-along.y(), along.x());
        QPainterPath head;
        head.moveTo(tip + along * 2.6 * u);
        head.lineTo(tip - along * 0.8 * u + across * 2.6 * u);
        head.lineTo(tip - along * 0.8 * u - across * 2.6 * u);
        head.closeSubpath();
        p.fillPath(head, c);
    }
}

void drawWarning(QPainter& p, const Grid& g, const QColor& c) {
    const double u = g.unit();
    QPainterPath triangle;
    triangle.moveTo(g.at(12, 3.5));
    triangle.lineTo(g.at(21, 19.5));
    triangle.lineTo(g.at(3, 19.5));
    triangle.closeSubpath();
    // The stroke rounds the corners and brings the shape to the grid's edge.
    QPainterPath shape = triangle.united(roundStroke(triangle, 2.4 * u));
    QPainterPath bar;
    bar.moveTo(g.at(12, 9));
    bar.lineTo(g.at(12, 13.6));
    QPainterPath mark = roundStroke(bar, 2.2 * u);
    mark.addEllipse(g.at(12, 16.6), 1.3 * u, 1.3 * u);
    p.fillPath(shape.subtracted(mark), c);
}

void drawArrowRight(QPainter& p, const Grid& g, const QColor& c) {
    p.setPen(QPen(c, 2.0 * g.unit(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(g.at(4, 12), g.at(19.5, 12));
    QPainterPath head;
    head.moveTo(g.at(13, 5.8));
    head.lineTo(g.at(19.5, 12));
    head.lineTo(g.at(13, 18.2));
    p.drawPath(head);
}

void drawTrayArrow(QPainter& p, const Grid& g, const QColor& c) {
    const double u = g.unit();
    p.setPen(QPen(c, 1.6 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    // The square behind shows only above and to the right of the front one.
    QPainterPath back;
    back.moveTo(g.at(8.5, 8.5));
    back.lineTo(g.at(8.5, 5.5));
    back.lineTo(g.at(20.5, 5.5));
    back.lineTo(g.at(20.5, 17.5));
    back.lineTo(g.at(16, 17.5));
    p.drawPath(back);
    p.drawRoundedRect(QRectF(g.at(3.5, 8.5), g.at(16, 21)), 2 * u, 2 * u);
    p.drawLine(g.at(9.75, 2.5), g.at(9.75, 15));
    QPainterPath head;
    head.moveTo(g.at(6.6, 11.8));
    head.lineTo(g.at(9.75, 15));
    head.lineTo(g.at(12.9, 11.8));
    p.drawPath(head);
}

}  // namespace

void Symbols::paint(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const Grid grid{centredSquare(rect)};
    switch (symbol) {
        case Symbol::hourglass:
            drawHourglass(painter, grid, colour);
            break;
        case Symbol::checkmarkCircleFill:
            drawCheckDisc(painter, grid, colour);
            break;
        case Symbol::circle:
            drawRing(painter, grid, colour);
            break;
        case Symbol::arrowDownCircle:
            drawArrowDownRing(painter, grid, colour);
            break;
        case Symbol::laptop:
            drawLaptop(painter, grid, colour);
            break;
        case Symbol::gear:
            drawGear(painter, grid, colour);
            break;
        case Symbol::handRaisedFill:
            drawHand(painter, grid, colour);
            break;
        case Symbol::arrowsCircle:
            drawChasingArrows(painter, grid, colour, 7.5);
            break;
        case Symbol::gearArrowsCircle:
            drawChasingArrows(painter, grid, colour, 8.5);
            painter.fillPath(gearPath(grid, grid.at(12, 12), 4.6, 3.4, 1.5), colour);
            break;
        case Symbol::exclamationTriangleFill:
            drawWarning(painter, grid, colour);
            break;
        case Symbol::arrowRight:
            drawArrowRight(painter, grid, colour);
            break;
        case Symbol::trayArrowDown:
            drawTrayArrow(painter, grid, colour);
            break;
    }
    painter.restore();
}

SymbolView::SymbolView(Symbol symbol, double side, const QColor& colour, QWidget* parent)
    : QWidget(parent), symbol_(symbol), side_(side), colour_(colour) {
    const int pixels = int(std::ceil(side));
    setFixedSize(pixels, pixels);
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Symbols::paint(painter, symbol_, QRectF(0, 0, side_, side_), colour_);
}

Spinner::Spinner(const QColor& colour, int side, QWidget* parent) : QWidget(parent), colour_(colour) {
    setFixedSize(side, side);
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
}

void Spinner::showEvent(QShowEvent*) {
    if (!Rendering::isStatic()) {
        timer_.start();
    }
}

void Spinner::hideEvent(QHideEvent*) {
    timer_.stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF centre = QRectF(rect()).center();
    const double outer = width() / 2.0 - 1;
    const double inner = outer * 0.45;
    for (int i = 0; i < 12; ++i) {
        // The spoke at `step_` is darkest; the ones behind it fade.
        const int age = (step_ - i + 12) % 12;
        QColor spoke = colour_;
        spoke.setAlphaF(float(1.0 - age * 0.07));
        painter.setPen(QPen(spoke, std::max(1.5, width() / 10.0), Qt::SolidLine, Qt::RoundCap));
        const double angle = i * M_PI / 6 - M_PI / 2;
        painter.drawLine(QPointF(centre.x() + inner * std::cos(angle), centre.y() + inner * std::sin(angle)),
                         QPointF(centre.x() + outer * std::cos(angle), centre.y() + outer * std::sin(angle)));
    }
}

}  // namespace rk
