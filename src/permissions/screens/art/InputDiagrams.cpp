#include "permissions/screens/art/InputDiagrams.h"

#include <QPainter>
#include <algorithm>

#include "permissions/screens/art/FlowClock.h"

namespace rk {

using namespace KTArt;

void CameraDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const QPointF lens(size.width() * 0.5 + 22, size.height() * 0.5);
    const QRectF body(lens.x() - 78, lens.y() - 42, 156, 84);

    fillThenStroke(painter, panel(body, 12), c.tint(c.accent, 0.1, 0.07), pen(c.line, 2));
    // The hump's lower 4 points overlap the body.
    stroke(painter, panel({lens.x() - 26, lens.y() - 54, 46, 16}, 5), pen(c.line, 2));
    stroke(painter, circle(lens, 60), pen(c.accent, 2));
    fill(painter, circle(lens, 38), c.tint(c.accent, 0.28, 0.2));
    fill(painter, circle(lens, 14), c.accent);
    fill(painter, circle({body.right() - 17.5, body.top() + 16.5}, 9), c.accent);  // recording light
    // Waves opening to the left, away from the body.
    drawWaves(painter,
              {.centre = {body.left() - 4, lens.y()},
               .radii = {16, 30, 44},
               .fromDegrees = 128,
               .toDegrees = 232,
               .strengths = {0.8, 0.59, 0.38}},
              c.accent, t);
}

void TypingDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double cy = size.height() * 0.5;
    // The drawing spans 250 points from kx and is centred.
    const double kx = size.width() * 0.5 - 125, ky = cy - 34;
    const QRectF field(kx + 206, cy - 21, 44, 42);
    constexpr int kKeys = 6, kLitKey = 5;
    const QPen keyOutline = pen(c.line, 1.5);

    fillThenStroke(painter, panel({kx, ky, 150, 68}, 10), c.tint(c.accent, 0.08, 0.05), pen(c.line, 2));
    for (double rowTop : {ky + 8, ky + 28}) {
        for (int i = 0; i < kKeys; ++i) {
            const QPainterPath key = panel({kx + 10 + 22.8 * i, rowTop, 16, 12}, 3);
            if (rowTop == ky + 8 && i == kLitKey)
                fill(painter, key, c.accent);
            else
                stroke(painter, key, keyOutline);
        }
    }
    stroke(painter, panel({kx + 32.8, ky + 48, 84.4, 12}, 3), keyOutline);  // space bar

    QPainterPath trail(QPointF(kx + 156, ky + 14));
    trail.quadTo(kx + 178, cy, kx + 189, cy);
    stroke(painter, trail, marching(c.accent, t));
    drawArrowHead(painter, kx + 205, cy, c.accent);

    const double glow = c.pick(0.12, 0.08) + c.pick(0.08, 0.06) * KTFlowClock::wave(t);
    fillThenStroke(painter, panel(field, 6), at(c.accent, glow), pen(c.accent, 2));
    const QPen mark = pen(c.accent, 2, Ends::round);
    stroke(painter, line({field.left() + 10, cy + 4}, {field.right() - 16, cy + 4}), mark);   // typed text
    stroke(painter, line({field.right() - 13, cy - 6}, {field.right() - 13, cy + 8}), mark);  // caret
}

void ContextMenuRowDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double cy = size.height() * 0.5;
    const double mw = std::max(rowLabelWidth + 46, 120.0);
    // Centred: a document 46 wide at ox, a gap of 56, then the menu.
    const double ox = size.width() * 0.5 - (mw + 102) / 2, oy = cy - 29;
    const QRectF menu(ox + 102, cy - 49.5, mw, 99);
    const auto rowTop = [&](int i) { return menu.top() + 8 + 22 * i; };
    const auto rowMiddle = [&](int i) { return rowTop(i) + 8.5; };

    // A sheet with its top-right corner folded 13 points deep.
    QPainterPath sheet(QPointF(ox, oy));
    sheet.lineTo(ox + 33, oy);
    sheet.lineTo(ox + 46, oy + 13);
    sheet.lineTo(ox + 46, oy + 58);
    sheet.lineTo(ox, oy + 58);
    sheet.closeSubpath();
    fillThenStroke(painter, sheet, c.tint(c.accent, 0.1, 0.06), pen(c.line, 2, Ends::butt, Corners::round));
    QPainterPath fold(QPointF(ox + 33, oy));
    fold.lineTo(ox + 33, oy + 13);
    fold.lineTo(ox + 46, oy + 13);
    stroke(painter, fold, pen(c.line, 1.5, Ends::butt, Corners::round));
    for (double y : {oy + 26, oy + 36, oy + 46})
        stroke(painter, line({ox + 9, y}, {ox + 37, y}), pen(at(c.ink, 0.28), 2, Ends::round));
    drawPointer(painter, ox + 32, cy + 6, c);

    QPainterPath trail(QPointF(ox + 54, cy - 6));
    trail.quadTo(ox + 72, cy - 6, ox + 94, rowMiddle(0));
    stroke(painter, trail, marching(c.accent, t));
    drawArrowHead(painter, ox + 96, rowMiddle(0), c.accent);

    fillThenStroke(painter, panel(menu, 8), c.dark ? at(Qt::white, 0.05) : at(Qt::black, 0.03),
                   pen(c.line, 2));
    fillThenStroke(painter, panel({menu.left() + 5, rowTop(0), mw - 10, 17}, 4), c.tint(c.accent, 0.24, 0.18),
                   pen(at(c.accent, KTFlowClock::pulse(t)), 1.5));
    fill(painter, panel({menu.left() + 12, rowTop(0) + 4, 9, 9}, 2), c.accent);
    stroke(painter, line({menu.left() + 27, rowMiddle(0)}, {menu.right() - 14, rowMiddle(0)}),
           pen(c.accent, 2.5, Ends::round));
    const double lengths[] = {0.74, 0.52, 0.63};
    for (int i = 1; i <= 3; ++i)
        stroke(painter,
               line({menu.left() + 12, rowMiddle(i)},
                    {menu.left() + 12 + (mw - 26) * lengths[i - 1], rowMiddle(i)}),
               pen(at(c.ink, 0.3), 2.5, Ends::round));
}

}  // namespace rk
