#pragma once
// The drawing toolkit every capability diagram is built from, so that each
// diagram file holds only its own geometry and timing: the colours a diagram
// is drawn with, pens with the diagrams' stroke conventions, rounded panels
// with smooth corners, arcs, the shared arrow head, the display with its
// stand, and the three waves that brighten outwards.
//
// Conventions shared by every drawing: points in the canvas with the origin
// at the top left and y growing downwards; angles in degrees from the +x
// axis towards +y, so they grow clockwise on screen; strokes with butt caps
// and miter joins (limit 10) unless a round end or corner is asked for;
// fills with the non-zero rule. The functions draw into the caller's
// painter, leave its state as they found it and keep nothing. Main thread
// (painting), or any thread for images.

#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <array>
#include <optional>

class QPainter;

namespace rk {

struct KTResolvedBrand;

// The colours and appearance a diagram is drawn with.
struct KTArtColours {
    QColor accent;      // what the capability concerns, and the moving parts
    QColor ink;         // solid foreground marks (a pointer's body, menu icons)
    QColor line;        // quiet outlines (a plain display, a folder, a menu bar)
    bool dark = false;  // the surrounding screen is dark: larger fill opacities

    // `dark` when the surrounding screen is dark, else `light`.
    double pick(double dark, double light) const { return this->dark ? dark : light; }
    // `colour` at the opacity for this appearance.
    QColor tint(const QColor& colour, double darkOpacity, double lightOpacity) const;

    // The brand's accent and ink, and its quiet ink for the outlines.
    static KTArtColours fromBrand(const KTResolvedBrand& brand, bool dark);

    friend bool operator==(const KTArtColours&, const KTArtColours&) = default;
};

namespace KTArt {

enum class Ends { butt, round };
enum class Corners { miter, round };

// `colour` with `opacity` applied on top of its own.
QColor at(QColor colour, double opacity);

QPen pen(const QColor& colour, double width, Ends ends = Ends::butt, Corners corners = Corners::miter);
// `base` with a dash pattern and phase, both in points along the path.
QPen dashed(QPen base, const QList<double>& pattern, double phase = 0);
// The marching dashes: `colour`, 2 points wide, round ends, 5 on and 5 off,
// travelling 13 points a second from the path's start towards its end.
QPen marching(const QColor& colour, double t);

// A rounded rectangle with smooth (continuous) corners; where the smooth
// corner does not fit the shorter side, a circular corner of at most half
// that side, so a narrow panel becomes a capsule.
QPainterPath panel(const QRectF& rect, double radius);
QPainterPath circle(const QPointF& centre, double diameter);
QPainterPath line(const QPointF& from, const QPointF& to);
// The arc about `centre` from `fromDegrees` to `toDegrees`, through the
// increasing angles between.
QPainterPath arc(const QPointF& centre, double radius, double fromDegrees, double toDegrees);

void stroke(QPainter& painter, const QPainterPath& path, const QPen& pen);
void fill(QPainter& painter, const QPainterPath& path, const QColor& colour);
// Fills the shape, then strokes its outline over the fill.
void fillThenStroke(QPainter& painter, const QPainterPath& path, const QColor& fill, const QPen& outline);

// An open chevron with its tip at (tipX, y), pointing right unless asked
// otherwise: 13 points long, 12 high, stroked 2 points wide with round ends
// and corners.
enum class Pointing { right, left };
void drawArrowHead(QPainter& painter, double tipX, double y, const QColor& colour,
                   Pointing pointing = Pointing::right);

// A mouse pointer whose body is anchored at (x, y): filled with the ink and
// outlined so that it stands out on either ground (black at 0.5 when dark,
// white at 0.9 when light).
void drawPointer(QPainter& painter, double x, double y, const KTArtColours& colours);

// A monitor: the screen `rect` with 7-point corners stroked 2 points wide in
// `outline` (over `fill` when given), a 9-point stand below its middle and
// a base across 0.34 to 0.66 of its width, both in `outline` at 0.65.
void drawDisplay(QPainter& painter, const QRectF& rect, const QColor& outline,
                 std::optional<QColor> fill = std::nullopt);

// Three concentric arcs of sound or signal, inner to outer, each lagging the
// one inside it by 0.18 of a pulse cycle, so the brightening travels
// outwards: each stroked 2 points wide with round ends in `colour` at
// pulse(t, lag) times its strength.
struct Waves {
    QPointF centre;
    std::array<double, 3> radii{};
    double fromDegrees = 0;
    double toDegrees = 0;
    std::array<double, 3> strengths{};
};
void drawWaves(QPainter& painter, const Waves& waves, const QColor& colour, double t);

}  // namespace KTArt

}  // namespace rk
