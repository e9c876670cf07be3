#include "finder/MarkPainter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace rk {

namespace {

// Sizes are in pixels: on the overlay a pixel is a window point, and on the
// photo the painter's scale turns points into photo pixels.
QFont systemFont(int pixels, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QFont removeFont() {
    return systemFont(13, QFont::Bold);
}
QFont keepFont() {
    return systemFont(12, QFont::ExtraBold);
}

QRectF toLocal(const Rect& screen, const Rect& windowFrame) {
    return QRectF(screen.x - windowFrame.x, screen.y - windowFrame.y, screen.width, screen.height);
}

// Text drawn with its line box's top left at `topLeft`.
void drawTextAt(QPainter& painter, const QFont& font, const QPointF& topLeft, const QString& text) {
    painter.setFont(font);
    painter.drawText(QPointF(topLeft.x(), topLeft.y() + QFontMetricsF(font).ascent()), text);
}

void drawCheckDisc(QPainter& painter, const QRectF& frame, double pillLeft) {
    const double d = std::min(20.0, frame.height() - 6);
    if (d <= 0) {
        return;
    }
    const QRectF disc(pillLeft - 6 - d, frame.center().y() - d / 2, d, d);
    painter.setPen(Qt::NoPen);
    painter.setBrush(MarkStyle::green());
    painter.drawEllipse(disc);

    QPainterPath tick;
    tick.moveTo(disc.left() + 0.26 * d, disc.top() + 0.5 * d);
    tick.lineTo(disc.left() + 0.44 * d, disc.top() + 0.7 * d);
    tick.lineTo(disc.left() + 0.76 * d, disc.top() + 0.3 * d);
    painter.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

void drawKeep(QPainter& painter, const QRectF& frame) {
    QColor wash = MarkStyle::green();
    wash.setAlphaF(0.2f);
    painter.setPen(QPen(MarkStyle::green(), 4));
    painter.setBrush(wash);
    painter.drawRoundedRect(frame, 9, 9);
    const Rect pill = MarkPainter::badge(painter, MarkPainter::keepLabel(), keepFont(), MarkStyle::green(),
                                         frame.right() - 6, frame.center().y());
    drawCheckDisc(painter, frame, pill.x);
}

void drawRemove(QPainter& painter, const QRectF& frame, const QString& label) {
    painter.setPen(QPen(MarkStyle::red(), 4.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 9, 9);
    MarkPainter::badge(painter, label, removeFont(), MarkStyle::red(), frame.right() - 6, frame.center().y());
}

void drawMinusHint(QPainter& painter, const QRectF& minus) {
    const QRectF ring(minus.center().x() - 20, minus.center().y() - 16, 40, 32);
    painter.setPen(QPen(MarkStyle::red(), 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ring);
    const QFont font = removeFont();
    const double height = QFontMetricsF(font).height();
    painter.setPen(MarkStyle::red());
    drawTextAt(painter, font, QPointF(ring.right() + 6, ring.center().y() - height / 2),
               MarkPainter::minusHint());
}

}  // namespace

const QColor& MarkStyle::red() {
    static const QColor colour = QColor::fromRgbF(1.0f, 0.23f, 0.19f, 1.0f);
    return colour;
}

const QColor& MarkStyle::green() {
    static const QColor colour = QColor::fromRgbF(0.1f, 0.63f, 0.24f, 1.0f);
    return colour;
}

Rect MarkPainter::box(const Rect& row, double windowWidth) {
    const double left = std::max(row.x - 6, 4.0);
    const double right = std::min(std::max(row.x + row.width + 6, left + 120), windowWidth - 10);
    return Rect{left, row.y + 2, right - left, row.height - 4};
}

Rect MarkPainter::badge(QPainter& painter, const QString& text, const QFont& font, const QColor& fill,
                        double rightEdge, double centerY) {
    const QFontMetricsF metrics(font);
    const double textWidth = metrics.horizontalAdvance(text);
    const double textHeight = metrics.height();
    const QRectF pill(rightEdge - textWidth - 16, centerY - (textHeight + 4) / 2, textWidth + 16,
                      textHeight + 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(pill, 6, 6);
    painter.setPen(Qt::white);
    drawTextAt(painter, font, QPointF(pill.left() + 8, pill.top() + 2), text);
    return Rect::fromQRectF(pill);
}

void MarkPainter::draw(QPainter& painter, const QList<Mark>& marks, const std::optional<Rect>& minus,
                       const Rect& windowFrame) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    auto markFrame = [&](const Mark& mark) {
        return box(Rect::fromQRectF(toLocal(mark.row.frame, windowFrame)), windowFrame.width).toQRectF();
    };
    // Keep marks first so that a remove mark overlapping one stays on top.
    for (const Mark& mark : marks) {
        if (mark.kind == Mark::Kind::keep) {
            drawKeep(painter, markFrame(mark));
        }
    }
    bool anyRemove = false;
    for (const Mark& mark : marks) {
        if (mark.kind == Mark::Kind::remove) {
            drawRemove(painter, markFrame(mark), mark.label);
            anyRemove = true;
        }
    }
    // The ring only makes sense next to a row to remove; one ring is enough.
    if (minus && anyRemove) {
        drawMinusHint(painter, toLocal(*minus, windowFrame));
    }
    painter.restore();
}

std::optional<QImage> MarkPainter::annotate(const QImage& photo, const Rect& windowFrame,
                                            const QList<Mark>& marks, const std::optional<Rect>& minus) {
    // Without a photo or a window width there is no finite scale from points
    // to pixels to draw with.
    if (photo.isNull() || photo.width() <= 0 || !(windowFrame.width > 0)) {
        return std::nullopt;
    }
    const double scale = photo.width() / windowFrame.width;
    if (!std::isfinite(scale)) {
        return std::nullopt;
    }
    QImage marked(photo.size(), QImage::Format_ARGB32_Premultiplied);
    if (marked.isNull()) {
        return std::nullopt;
    }
    marked.fill(Qt::transparent);
    QPainter painter(&marked);
    // Pixel for pixel into the whole bitmap: drawn at a point, a photo that
    // carries a device pixel ratio of 2 would fill only a quarter of it.
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(marked.size())), photo, QRectF(photo.rect()));
    painter.scale(scale, scale);
    draw(painter, marks, minus, windowFrame);
    painter.end();
    return marked;
}

}  // namespace rk
