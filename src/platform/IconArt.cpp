#include "platform/IconArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace rk {

namespace {

// Both drawings are laid out on a unit square; the painter scales them.

void paintDocument(QPainter& p) {
    const double left = 0.20, right = 0.80, top = 0.08, bottom = 0.92, fold = 0.20;
    QPainterPath page;
    page.moveTo(left, top);
    page.lineTo(right - fold, top);
    page.lineTo(right, top + fold);
    page.lineTo(right, bottom);
    page.lineTo(left, bottom);
    page.closeSubpath();

    // A soft drop shadow, so the page stands out on a light background too.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawPath(page.translated(0, 0.03));

    QLinearGradient paper(0, top, 0, bottom);
    paper.setColorAt(0, QColor(255, 255, 255));
    paper.setColorAt(1, QColor(238, 238, 238));
    p.setBrush(paper);
    p.setPen(QPen(QColor(140, 140, 140), 0.045, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawPath(page);

    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    corner.closeSubpath();
    p.setBrush(QColor(205, 205, 205));
    p.drawPath(corner);
}

void paintApplication(QPainter& p) {
    const QRectF tile(0.10, 0.10, 0.80, 0.80);
    QLinearGradient metal(0, tile.top(), 0, tile.bottom());
    metal.setColorAt(0, QColor(150, 152, 158));
    metal.setColorAt(1, QColor(98, 100, 106));
    p.setPen(QPen(QColor(70, 72, 76), 0.02));
    p.setBrush(metal);
    p.drawRoundedRect(tile, 0.18, 0.18);

    // A capital A built from two rulers and a crossbar: the old drafting-tools
    // sign for "a program".
    QPen tool(QColor(232, 232, 236), 0.085, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(tool);
    p.setBrush(Qt::NoBrush);
    QPainterPath letter;
    letter.moveTo(0.31, 0.74);
    letter.lineTo(0.50, 0.26);
    letter.lineTo(0.69, 0.74);
    p.drawPath(letter);
    p.drawLine(QPointF(0.39, 0.58), QPointF(0.61, 0.58));
}

}  // namespace

QColor IconArt::background(bool dark) {
    const double level = dark ? 0.17 : 0.96;
    return QColor::fromRgbF(level, level, level, 1.0);
}

void IconArt::paint(QPainter& painter, const QRectF& square, GenericIcon icon) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(square.topLeft());
    painter.scale(square.width(), square.height());
    if (icon == GenericIcon::document) {
        paintDocument(painter);
    } else {
        paintApplication(painter);
    }
    painter.restore();
}

QImage IconArt::render(GenericIcon icon, int side, bool dark) {
    if (side <= 0) {
        return {};
    }
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    image.fill(background(dark));
    QPainter painter(&image);
    paint(painter, QRectF(0, 0, side, side), icon);
    painter.end();
    return image;
}

}  // namespace rk
