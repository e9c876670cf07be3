#pragma once
// Our own drawings of the two generic icons the blank-icon test compares row
// icons with: the blank document a row shows when its program is gone, and
// the plain application icon of a program without art of its own. Drawn
// procedurally, so they scale to any side and need no image files.

#include <QColor>
#include <QImage>
#include <QRectF>

class QPainter;

namespace rk {

enum class GenericIcon { document, application };

struct IconArt {
    // The page background the icons are judged against: grey 0.17 in the dark
    // appearance, 0.96 in the light one.
    static QColor background(bool dark);

    // Draws the icon scaled into the whole square.
    static void paint(QPainter& painter, const QRectF& square, GenericIcon icon);

    // A square of `side` pixels filled with the appearance background, the
    // icon drawn over all of it; a null image when side is not positive or no
    // bitmap can be made.
    static QImage render(GenericIcon icon, int side, bool dark);
};

}  // namespace rk
