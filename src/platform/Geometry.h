#pragma once
// Screen geometry as read from System Settings: global points, origin at the
// top left of the first screen, y growing downwards. A plain value of four
// doubles. Two rects are equal when they cover the same box: both are
// standardised (a negative width or height flipped) before comparing, as the
// platform's rectangle equality does. The comparison itself is exact on
// purpose: QRectF::operator== is fuzzy, and a row that moved by a fraction of
// a point is a different reading.

#include <QHashFunctions>
#include <QRectF>

namespace rk {

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    // The same box with non-negative width and height.
    Rect standardized() const {
        Rect r = *this;
        if (r.width < 0) {
            r.x += r.width;
            r.width = -r.width;
        }
        if (r.height < 0) {
            r.y += r.height;
            r.height = -r.height;
        }
        return r;
    }

    QRectF toQRectF() const { return QRectF(x, y, width, height); }
    static Rect fromQRectF(const QRectF& r) { return Rect{r.x(), r.y(), r.width(), r.height()}; }

    friend bool operator==(const Rect& a, const Rect& b) {
        const Rect s = a.standardized();
        const Rect t = b.standardized();
        return s.x == t.x && s.y == t.y && s.width == t.width && s.height == t.height;
    }
};

// Hashes the standardised box, so equal boxes hash alike. A signed zero
// is folded so that 0.0 and -0.0 (equal as doubles) hash alike too.
inline size_t qHash(const Rect& r, size_t seed = 0) {
    const Rect s = r.standardized();
    auto folded = [](double v) { return v == 0 ? 0.0 : v; };
    return qHashMulti(seed, folded(s.x), folded(s.y), folded(s.width), folded(s.height));
}

}  // namespace rk
