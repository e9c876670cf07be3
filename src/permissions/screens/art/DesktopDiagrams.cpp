#include "permissions/screens/art/DesktopDiagrams.h"

#include <QPainter>
#include <algorithm>

#include "permissions/screens/art/FlowClock.h"

namespace rk {

using namespace KTArt;

void CrossingDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double cx = size.width() / 2, cy = size.height() / 2;
    const double w = std::min(0.31 * size.width(), 170.0), h = 0.62 * w;
    const double left = cx - w - 46, right = cx + 46, top = cy - h / 2;

    drawDisplay(painter, {left, top, w, h}, c.line);
    drawDisplay(painter, {right, top, w, h}, c.accent, c.tint(c.accent, 0.13, 0.09));
    stroke(painter, line({left + w - 12, cy}, {right + 16, cy}), marching(c.accent, t));
    drawArrowHead(painter, right + 17, cy, c.accent);
    if (showsPointer)
        drawPointer(painter, left + w + 16, cy - 3, c);
}

void CaptureDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double cx = size.width() / 2, cy = size.height() / 2;
    const double w = std::min(0.34 * size.width(), 190.0), h = 0.62 * w;
    const double x = cx - w / 2 - 34, top = cy - h / 2;

    drawDisplay(painter, {x, top, w, h}, c.line);
    const QRectF selection(x + 0.16 * w, cy - 0.22 * h, 0.52 * w, 0.46 * h);
    fillThenStroke(painter, panel(selection, 4), c.tint(c.accent, 0.20, 0.14),
                   dashed(pen(c.accent, 2), {4, 3}));
    for (const QPointF& corner :
         {selection.topLeft(), selection.topRight(), selection.bottomLeft(), selection.bottomRight()})
        fill(painter, circle(corner, 6), c.accent);
    stroke(painter, line({x + w + 10, cy}, {x + w + 52, cy}), marching(c.accent, t));
    drawArrowHead(painter, x + w + 54, cy, c.accent);
    fillThenStroke(painter, panel({x + w + 62, cy - 20, 42, 40}, 5), c.tint(c.accent, 0.16, 0.11),
                   pen(at(c.accent, KTFlowClock::pulse(t)), 2));
}

void FilesDiagram::draw(QPainter& painter, const QSizeF& size, double) const {
    const KTArtColours& c = colours;
    const double cx = size.width() / 2, cy = size.height() / 2;
    const double x = cx - 150;

    // A folder 76 wide whose back rises 8 points from 0.52 of its width on,
    // with a slanted step between 0.42 and 0.52.
    QPainterPath folder(QPointF(x, cy + 29));
    folder.lineTo(x, cy - 21);
    folder.lineTo(x + 31.92, cy - 21);
    folder.lineTo(x + 39.52, cy - 29);
    folder.lineTo(x + 76, cy - 29);
    folder.lineTo(x + 76, cy + 29);
    folder.closeSubpath();
    stroke(painter, folder, pen(c.line, 2, Ends::butt, Corners::round));
    for (int i = 0; i < 3; ++i)
        fillThenStroke(painter, panel({x + 102 + 26 * i, cy - 16, 20, 28}, 3), c.tint(c.accent, 0.16, 0.11),
                       pen(at(c.accent, 1 - 0.22 * i), 2));
    drawArrowHead(painter, x + 208, cy, c.accent);
    drawDisplay(painter, {x + 226, cy - 36.5, 118, 73}, c.accent, c.tint(c.accent, 0.13, 0.09));
}

void ArrangingDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double cx = size.width() / 2, cy = size.height() / 2;
    const double w = std::min(0.42 * size.width(), 230.0), h = 0.6 * w;
    const double x = cx - w / 2 + 40, top = cy - h / 2;
    const double half = (w - 21) / 2;  // the width of one half of the screen
    const double floating = x - 120;   // the floating window's left edge
    const double rightHalf = x + half + 14;

    drawDisplay(painter, {x, top, w, h}, c.line);
    stroke(painter, panel({x + 7, top + 7, half, h - 14}, 4), dashed(pen(at(c.line, 0.7), 1.5), {3, 3}));
    fillThenStroke(painter, panel({rightHalf, top + 7, half, h - 14}, 4), c.tint(c.accent, 0.22, 0.16),
                   pen(c.accent, 2));
    fillThenStroke(painter, panel({floating, cy - 25, 74, 50}, 5), c.tint(c.accent, 0.14, 0.10),
                   pen(c.accent, 2));
    stroke(painter, line({floating + 6, cy - 14}, {floating + 68, cy - 14}), pen(at(c.accent, 0.6), 1.5));
    stroke(painter, line({floating + 82, cy}, {rightHalf + 0.4 * half, cy}), marching(c.accent, t));
    drawArrowHead(painter, rightHalf + 0.42 * half, cy, c.accent);
}

void MenuBarDiagram::draw(QPainter& painter, const QSizeF& size, double) const {
    const KTArtColours& c = colours;
    const double b = std::min(0.74 * size.width(), 400.0);
    const double barLeft = (size.width() - b) / 2;
    // The group from the lifted icon's top to the bar's bottom, 56 points,
    // is centred vertically.
    const double y = (size.height() - 56) / 2 + 30;
    constexpr double kIcon = 15, kIconRadius = 3.5;
    constexpr int kLifted = 2;

    fillThenStroke(painter, panel({barLeft, y, b, 26}, 6), c.tint(c.line, 0.18, 0.12), pen(c.line, 1.5));
    for (int k = 0; k < 6; ++k) {
        const double x = barLeft + b - 29 - 26 * k;  // icons counted from the right
        const QRectF place(x, y + 5.5, kIcon, kIcon);
        if (k != kLifted) {
            fill(painter, panel(place, kIconRadius), c.tint(c.ink, 0.55, 0.45));
            continue;
        }
        fillThenStroke(painter, panel({x, y - 30, kIcon, kIcon}, kIconRadius), c.tint(c.accent, 0.28, 0.18),
                       pen(c.accent, 2));
        stroke(painter, panel(place, kIconRadius), dashed(pen(at(c.accent, 0.55), 1.5), {3, 3}));
        stroke(painter, line({x + 7.5, y + 2.5}, {x + 7.5, y - 11}),
               dashed(pen(c.accent, 1.5, Ends::round), {3, 3}));
    }
}

void ListeningDiagram::draw(QPainter& painter, const QSizeF& size, double t) const {
    const KTArtColours& c = colours;
    const double cx = size.width() / 2, cy = size.height() / 2;
    const double x = cx - 108;

    fillThenStroke(painter, panel({x, cy - 30, 24, 44}, 12), c.tint(c.accent, 0.16, 0.11), pen(c.accent, 2));
    const QPen round = pen(c.accent, 2, Ends::round);
    stroke(painter, arc({x + 12, cy + 4}, 20, 0, 180), round);  // the holder, below the body
    stroke(painter, line({x + 12, cy + 24}, {x + 12, cy + 34}), round);
    drawWaves(painter,
              {.centre = {x + 58, cy},
               .radii = {26, 44, 62},
               .fromDegrees = -52,
               .toDegrees = 52,
               .strengths = {0.85, 0.63, 0.41}},
              c.accent, t);
}

}  // namespace rk
