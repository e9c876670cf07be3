#pragma once
// The red and green marks drawn over System Settings rows: a red frame with
// its label around each row to remove, a green frame with "KEEP THIS ROW"
// around each row to keep, and a red ring around the minus button with
// "then press  −" beside it. The same drawing serves the live overlay and the
// marked copy of the window photo.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <optional>

#include "finder/Decision.h"
#include "platform/Geometry.h"

class QPainter;

namespace rk {

struct MarkStyle {
    static const QColor& red();    // sRGB 1.0, 0.23, 0.19
    static const QColor& green();  // sRGB 0.1, 0.63, 0.24
};

struct MarkPainter {
    // Draws the marks with the painter's coordinates in window points: origin
    // at the window's top left, y growing downwards. Row and minus frames are
    // in screen points and are moved into the window by its frame's origin.
    static void draw(QPainter& painter, const QList<Mark>& marks, const std::optional<Rect>& minus,
                     const Rect& windowFrame);

    // The mark's frame for a row frame already in window coordinates: at
    // least 4 points from the left edge, at least 120 points wide, and never
    // closer than 10 points to the window's right edge.
    static Rect box(const Rect& row, double windowWidth);

    // Draws a label pill whose right edge is at `rightEdge`, vertically
    // centred on `centerY`, and returns its frame.
    static Rect badge(QPainter& painter, const QString& text, const QFont& font, const QColor& fill,
                      double rightEdge, double centerY);

    // A copy of the window photo with the marks drawn on it, scaled from
    // window points to photo pixels; none when the photo is empty, the window
    // has no width, or no bitmap can be made.
    static std::optional<QImage> annotate(const QImage& photo, const Rect& windowFrame,
                                          const QList<Mark>& marks, const std::optional<Rect>& minus);

    // The words beside the minus ring.
    static QString minusHint() { return QStringLiteral("then press  \u2212"); }
    // The words on every keep mark, whatever its own label.
    static QString keepLabel() { return QStringLiteral("KEEP THIS ROW"); }
};

}  // namespace rk
