#pragma once
// The app's letter tile: "RK" in gold on a dark rounded square. Header-only
// so the about panel and the permission wizard's brand mark can draw it
// without linking the window's widgets.

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "ui/Palette.h"

namespace rk {

struct MonogramArt {
    static double cornerRadius(double size) { return size * 0.27; }
    static double letterPixels(double size) { return size * 0.4; }

    // Draws the tile into the largest square centred in `rect`; the same in
    // both schemes.
    static void paint(QPainter& painter, const QRectF& rect) {
        const double side = std::min(rect.width(), rect.height());
        if (side <= 0) {
            return;
        }
        const QRectF square(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        QLinearGradient fill(square.topLeft(), square.bottomLeft());
        fill.setColorAt(0, Color::hex(PaletteHex::tileTop));
        fill.setColorAt(1, Color::hex(PaletteHex::tileBottom));
        QPainterPath tile;
        tile.addRoundedRect(square, cornerRadius(side), cornerRadius(side));
        painter.fillPath(tile, fill);
        QFont font = painter.font();
        font.setPixelSize(std::max(1, int(std::lround(letterPixels(side)))));
        font.setWeight(QFont::Bold);
        painter.setFont(font);
        painter.setPen(Palette::gold());
        painter.drawText(square, Qt::AlignCenter, QStringLiteral("RK"));
        painter.restore();
    }
};

// The tile as a widget of `size` by `size` pixels (28 unless set).
class Monogram : public QWidget {
public:
    explicit Monogram(double size = 28, QWidget* parent = nullptr) : QWidget(parent), size_(size) {
        setFixedSize(int(std::ceil(size_)), int(std::ceil(size_)));
    }

    double size() const { return size_; }
    void setSize(double size) {
        size_ = size;
        setFixedSize(int(std::ceil(size_)), int(std::ceil(size_)));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        MonogramArt::paint(painter, QRectF(0, 0, size_, size_));
    }

private:
    double size_;
};

}  // namespace rk
