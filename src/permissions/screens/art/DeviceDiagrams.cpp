#include "permissions/screens/art/DeviceDiagrams.h"

#include <QPainter>
#include <algorithm>

#include "permissions/screens/art/FlowClock.h"

namespace rk {

using namespace KTArt;

void LocationDiagram::draw(QPainter& painter, const QSizeF& size, double) const {
    const KTArtColours& c = colours;
    const double cx = size.width() * 0.5, cy = size.height() * 0.52;
    const QRectF map(cx - 96, cy - 46, 192, 92);
    const double px = cx, py = cy - 10;  // the marker's point

    // Streets across the whole map at 22, 50 and 78 per cent, under the frame.
    const QPen street = pen(at(c.line, 0.45), 2);
    for (double share : {0.22, 0.5, 0.78}) {
        const double y = map.top() + share * map.height(), x = map.left() + share * map.width();
        stroke(painter, line({map.left(), y}, {map.right(), y}), street);
        stroke(painter, line({x, map.top()}, {x, map.bottom()}), street);
    }
    stroke(painter, panel(map, 8), pen(c.line, 2));
    QPainterPath area;
    area.addEllipse(QRectF(cx - 42, cy - 30, 84, 60));
    fillThenStroke(painter, area, c.tint(c.accent, 0.16, 0.11), dashed(pen(at(c.accent, 0.7), 2), {4, 4}));

    // A teardrop: from the tip up the left flank, over the top of a circle
    // about (px, py - 4), and down the right flank.
    QPainterPath marker(QPointF(px, py + 22));
    marker.cubicTo(px - 6, py + 12, px - 13, py + 4, px - 13, py - 4);
    marker.connectPath(arc({px, py - 4}, 13, 180, 360));
    marker.cubicTo(px + 13, py + 4, px + 6, py + 12, px, py + 22);
    marker.closeSubpath();
    fill(painter, marker, c.accent);
    fill(painter, circle({px, py - 4}, 9), c.dark ? at(Qt::black, 0.55) : at(Qt::white, 0.95));
}

void BluetoothDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double mid = size.width() * 0.5, cy = size.height() * 0.5;
    const double w = std::min(size.width() * 0.3, 165.0), h = 0.62 * w;
    const double dx = mid - w - 52, dy = cy - h / 2;
    const double bx = mid + 84, by = cy;  // the device's centre

    drawDisplay(painter, {dx, dy, w, h}, c.line);
    fillThenStroke(painter, panel({mid + 62, cy - 30, 44, 60}, 10), c.tint(c.accent, 0.13, 0.09),
                   pen(c.accent, 2));
    QPainterPath mark(QPointF(bx, by - 15));
    mark.lineTo(bx + 9.3, by - 6.3);
    mark.lineTo(bx - 9.3, by + 6.3);
    mark.lineTo(bx + 9.3, by + 6.3);
    mark.lineTo(bx - 9.3, by - 6.3);
    mark.moveTo(bx, by - 15);
    mark.lineTo(bx, by + 15);
    stroke(painter, mark, pen(c.accent, 2, Ends::round, Corners::round));
    drawWaves(painter,
              {.centre = {dx + w + 2, cy},
               .radii = {20, 34, 48},
               .fromDegrees = -46,
               .toDegrees = 46,
               .strengths = {0.85, 0.63, 0.41}},
              c.accent, t);
}

void NotificationsDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double w = std::min(size.width() * 0.42, 226.0), h = 0.52 * w;
    const double sx = size.width() * 0.5 - w / 2, cy = size.height() * 0.5 - 5, sy = cy - h / 2;
    const double rx = sx + w;
    const QRectF banner(sx + 0.42 * w, sy + 20, 0.52 * w, 32);
    const double bm = sy + 36;  // the banner's vertical middle
    const double bars = banner.width() - 42;

    drawDisplay(painter, {sx, sy, w, h}, c.line);
    stroke(painter, line({sx + 6, sy + 12}, {rx - 6, sy + 12}), pen(at(c.line, 0.55), 2));
    fillThenStroke(painter, panel(banner, 7), c.tint(c.accent, 0.2, 0.14),
                   pen(at(c.accent, KTFlowClock::pulse(t)), 2));
    fill(painter, panel({banner.left() + 8, bm - 8, 16, 16}, 4), c.accent);
    fill(painter, panel({banner.left() + 31, bm - 6, bars * 0.62, 4}, 2), at(c.ink, 0.55));
    fill(painter, panel({banner.left() + 31, bm + 4, bars * 0.4, 4}, 2), at(c.ink, 0.32));
    // The banner arrives from the right: the dashes march leftwards.
    stroke(painter, line({rx + 44, bm}, {rx + 10, bm}), marching(c.accent, t));
    drawArrowHead(painter, rx + 8, bm, c.accent, Pointing::left);
}

void CalendarDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double cy = size.height() * 0.5;
    // Not centred: the drawing runs from `left` to `left` + 234.
    const double left = size.width() * 0.5 - 156, top = cy - 50;
    constexpr int kLitRow = 1, kLitColumn = 2;

    stroke(painter, panel({left, top, 116, 100}, 8), pen(c.line, 2));
    stroke(painter, line({left, top + 24}, {left + 116, top + 24}), pen(c.line, 2));
    for (double ring : {0.3, 0.7})
        stroke(painter, line({left + 116 * ring, top - 7}, {left + 116 * ring, top + 5}),
               pen(c.line, 3, Ends::round));
    // Slots of 96 / 5 by 64 / 3 points from (left + 10, top + 30); each cell
    // keeps 2 points of its slot to the left and top and 4 to the right and bottom.
    const double slotWidth = 96.0 / 5, slotHeight = 64.0 / 3;
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 5; ++col) {
            const QRectF cell(left + 12 + slotWidth * col, top + 32 + slotHeight * r, slotWidth - 6,
                              slotHeight - 6);
            if (r == kLitRow && col == kLitColumn)
                fill(painter, panel(cell, 4), c.accent);
            else
                fill(painter, panel(cell, 3), at(c.ink, 0.18));
        }
    }
    stroke(painter, line({left + 128, cy}, {left + 170, cy}), marching(c.accent, t));
    drawArrowHead(painter, left + 172, cy, c.accent);
    fillThenStroke(painter, panel({left + 182, cy - 26, 52, 52}, 12), c.tint(c.accent, 0.16, 0.11),
                   pen(at(c.accent, KTFlowClock::pulse(t)), 2));
}

}  // namespace rk
