#include "permissions/screens/art/ArtToolkit.h"

#include <QPainter>
#include <algorithm>

#include "permissions/WizardBrand.h"
#include "permissions/screens/art/FlowClock.h"

namespace rk {

KTArtColours KTArtColours::fromBrand(const KTResolvedBrand& brand, bool dark) {
    return {.accent = brand.accent, .ink = brand.ink, .line = brand.quiet, .dark = dark};
}

QColor KTArtColours::tint(const QColor& colour, double darkOpacity, double lightOpacity) const {
    return KTArt::at(colour, pick(darkOpacity, lightOpacity));
}

namespace KTArt {

namespace {
constexpr double kMiterLimit = 10;
// A smooth corner starts this many radii before the corner along each edge.
constexpr double kSmoothReach = 1.52866483;

// One smooth corner, drawn from the end of the edge that leads into it:
// three cubic segments whose curvature rises and falls gently instead of
// jumping as a circular arc's does. `corner` is the rectangle's corner,
// `in` the unit direction of the edge arriving at it, `out` the direction
// of the edge leaving it.
void smoothCorner(QPainterPath& path, QPointF corner, QPointF in, QPointF out, double r) {
    const auto point = [&](double back, double side) { return corner - in * (back * r) + out * (side * r); };
    path.lineTo(point(kSmoothReach, 0));
    path.cubicTo(point(1.08849323, 0), point(0.86840689, 0), point(0.63149399, 0.07491100));
    path.cubicTo(point(0.37282392, 0.16905899), point(0.16905899, 0.37282392), point(0.07491100, 0.63149399));
    path.cubicTo(point(0, 0.86840689), point(0, 1.08849323), point(0, kSmoothReach));
}
}  // namespace

QColor at(QColor colour, double opacity) {
    colour.setAlphaF(float(std::clamp(colour.alphaF() * opacity, 0.0, 1.0)));
    return colour;
}

QPen pen(const QColor& colour, double width, Ends ends, Corners corners) {
    QPen result(colour, width, Qt::SolidLine, ends == Ends::round ? Qt::RoundCap : Qt::FlatCap,
                corners == Corners::round ? Qt::RoundJoin : Qt::MiterJoin);
    result.setMiterLimit(kMiterLimit);
    return result;
}

QPen dashed(QPen base, const QList<double>& pattern, double phase) {
    // Qt measures dashes in pen widths; the drawings give them in points.
    const double width = base.widthF() > 0 ? base.widthF() : 1.0;
    QList<qreal> scaled;
    for (double length : pattern)
        scaled.append(length / width);
    base.setDashPattern(scaled);
    base.setDashOffset(phase / width);
    return base;
}

QPen marching(const QColor& colour, double t) {
    return dashed(pen(colour, 2, Ends::round), {5, 5}, KTFlowClock::dashPhase(t));
}

QPainterPath panel(const QRectF& rect, double radius) {
    QPainterPath path;
    const double shorter = std::min(rect.width(), rect.height());
    if (radius <= 0) {
        path.addRect(rect);
    } else if (radius * kSmoothReach > shorter / 2) {
        const double r = std::min(radius, shorter / 2);
        path.addRoundedRect(rect, r, r);
    } else {
        const QPointF right(1, 0), down(0, 1);
        path.moveTo(rect.left() + radius * kSmoothReach, rect.top());
        smoothCorner(path, rect.topRight(), right, down, radius);
        smoothCorner(path, rect.bottomRight(), down, -right, radius);
        smoothCorner(path, rect.bottomLeft(), -right, -down, radius);
        smoothCorner(path, rect.topLeft(), -down, right, radius);
        path.closeSubpath();
    }
    return path;
}

QPainterPath circle(const QPointF& centre, double diameter) {
    QPainterPath path;
    path.addEllipse(centre, diameter / 2, diameter / 2);
    return path;
}

QPainterPath line(const QPointF& from, const QPointF& to) {
    QPainterPath path(from);
    path.lineTo(to);
    return path;
}

QPainterPath arc(const QPointF& centre, double radius, double fromDegrees, double toDegrees) {
    // Qt's angles grow counter-clockwise on screen, ours clockwise.
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path;
    path.arcMoveTo(box, -fromDegrees);
    path.arcTo(box, -fromDegrees, -(toDegrees - fromDegrees));
    return path;
}

void stroke(QPainter& painter, const QPainterPath& path, const QPen& pen) {
    painter.strokePath(path, pen);
}

void fill(QPainter& painter, const QPainterPath& path, const QColor& colour) {
    QPainterPath shape = path;
    shape.setFillRule(Qt::WindingFill);
    painter.fillPath(shape, colour);
}

void fillThenStroke(QPainter& painter, const QPainterPath& path, const QColor& colour, const QPen& outline) {
    fill(painter, path, colour);
    stroke(painter, path, outline);
}

void drawArrowHead(QPainter& painter, double tipX, double y, const QColor& colour, Pointing pointing) {
    const double back = pointing == Pointing::right ? tipX - 13 : tipX + 13;
    QPainterPath chevron(QPointF(back, y - 6));
    chevron.lineTo(tipX, y);
    chevron.lineTo(back, y + 6);
    stroke(painter, chevron, pen(colour, 2, Ends::round, Corners::round));
}

void drawPointer(QPainter& painter, double x, double y, const KTArtColours& colours) {
    QPainterPath body(QPointF(x, y - 8));
    body.lineTo(x + 10, y + 6);
    body.lineTo(x + 4, y + 6);
    body.lineTo(x + 2, y + 12);
    body.closeSubpath();
    const QColor outline = colours.dark ? at(Qt::black, 0.5) : at(Qt::white, 0.9);
    fillThenStroke(painter, body, colours.ink, pen(outline, 1.5, Ends::butt, Corners::round));
}

void drawDisplay(QPainter& painter, const QRectF& rect, const QColor& outline, std::optional<QColor> fill) {
    const QPainterPath screen = panel(rect, 7);
    if (fill)
        fillThenStroke(painter, screen, *fill, pen(outline, 2));
    else
        stroke(painter, screen, pen(outline, 2));
    const QColor stand = at(outline, 0.65);
    const double middle = rect.left() + rect.width() / 2;
    const double foot = rect.bottom() + 9;
    stroke(painter, line({middle, rect.bottom()}, {middle, foot}), pen(stand, 2));
    stroke(painter,
           line({rect.left() + 0.34 * rect.width(), foot}, {rect.left() + 0.66 * rect.width(), foot}),
           pen(stand, 2, Ends::round));
}

void drawWaves(QPainter& painter, const Waves& waves, const QColor& colour, double t) {
    constexpr double kLagStep = 0.18;
    for (int k = 0; k < 3; ++k) {
        const double opacity = KTFlowClock::pulse(t, kLagStep * k) * waves.strengths[k];
        stroke(painter, arc(waves.centre, waves.radii[k], waves.fromDegrees, waves.toDegrees),
               pen(at(colour, opacity), 2, Ends::round));
    }
}

}  // namespace KTArt

}  // namespace rk
