#include "permissions/screens/WizardWidgets.h"

#include <QApplication>
#include <QDrag>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>
#include <cmath>

#include "permissions/screens/PermissionSections.h"
#include "permissions/screens/WaitingArc.h"
#include "platform/AppBundle.h"

namespace rk {

namespace {
constexpr int kArcGap = 8;
}  // namespace

// --- KTMarkView

KTMarkView::KTMarkView(KTResolvedMark mark, int side, QWidget* parent)
    : QWidget(parent), mark_(std::move(mark)) {
    setFixedSize(side, side);
}

void KTMarkView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (mark_)
        mark_(painter, QRectF(rect()));
}

// --- KTAccentButton

KTAccentButton::KTAccentButton(const QString& title, const Look& look, std::function<void()> action,
                               QWidget* parent)
    : ShapeButton(title, std::move(action), look.fontPixels, QFont::DemiBold, look.padX, look.padY,
                  look.radius, parent),
      look_(look) {}

void KTAccentButton::setWaiting(bool waiting) {
    if (waiting == isWaiting())
        return;
    if (waiting) {
        arc_ = new WaitingArc(look_.title, this);
        placeArc();
        arc_->show();
    } else {
        delete arc_;
        arc_ = nullptr;
    }
    updateGeometry();
    update();
}

QSize KTAccentButton::sizeHint() const {
    QSize size = ShapeButton::sizeHint();
    if (arc_)
        size.rwidth() += WaitingArc::side + kArcGap;
    return size.expandedTo(look_.minimum);
}

void KTAccentButton::resizeEvent(QResizeEvent* event) {
    ShapeButton::resizeEvent(event);
    placeArc();
}

// The arc and the title are centred together.
void KTAccentButton::placeArc() {
    if (!arc_)
        return;
    const int row = WaitingArc::side + kArcGap + QFontMetrics(font()).horizontalAdvance(text());
    arc_->move((width() - row) / 2, (height() - WaitingArc::side) / 2);
}

void KTAccentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (isDown())
        painter.setOpacity(0.75);
    painter.fillPath(shape(), look_.fill);
    painter.setPen(look_.title);
    painter.setFont(font());
    QRect titleArea = rect();
    if (arc_)
        titleArea.setLeft(arc_->geometry().right() + 1 + kArcGap);
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine | (arc_ ? Qt::AlignLeft : Qt::AlignHCenter);
    painter.drawText(titleArea, flags, text());
    paintFocusRing(painter, *this, look_.radius);
}

// --- links

TextButton* makeLink(const QString& title, double pixels, const QColor& colour, std::function<void()> action,
                     QWidget* parent) {
    auto* link =
        new TextButton(title, TextStyle{.pixels = pixels, .colour = colour}, std::move(action), parent);
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    return link;
}

// --- KTCapsuleTag

KTCapsuleTag::KTCapsuleTag(const QString& text, const Look& look, QWidget* parent)
    : QWidget(parent), text_(text), look_(look) {
    setFont(uiFont(look.fontPixels, look.weight));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

double KTCapsuleTag::symbolWidth() const {
    return look_.symbol ? look_.fontPixels + 5 : 0;
}

QSize KTCapsuleTag::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {int(std::ceil(symbolWidth() + metrics.horizontalAdvance(text_) + 2 * look_.padX)),
            int(std::ceil(metrics.height() + 2 * look_.padY))};
}

void KTCapsuleTag::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath capsule;
    const QRectF box(rect());
    capsule.addRoundedRect(box, box.height() / 2, box.height() / 2);
    painter.fillPath(capsule, look_.fill);
    QRectF inner = box.adjusted(look_.padX, look_.padY, -look_.padX, -look_.padY);
    if (look_.symbol) {
        const double side = look_.fontPixels;
        Symbols::paint(painter, *look_.symbol,
                       QRectF(inner.left(), inner.center().y() - side / 2, side, side), look_.ink);
        inner.setLeft(inner.left() + symbolWidth());
    }
    painter.setPen(look_.ink);
    painter.setFont(font());
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

// --- KTRoundedBox

KTRoundedBox::KTRoundedBox(const Look& look, QWidget* parent)
    : QWidget(parent), look_(look), content_(new QVBoxLayout(this)) {
    content_->setContentsMargins(look.padding, look.padding, look.padding, look.padding);
    content_->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void KTRoundedBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath outer;
    outer.addRoundedRect(QRectF(rect()), look_.radius, look_.radius);
    if (look_.fill)
        painter.fillPath(outer, *look_.fill);
    if (look_.stroke) {
        // Inside the edge: the path runs half the line's width in.
        QPainterPath edge;
        edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), look_.radius - 0.5,
                            look_.radius - 0.5);
        painter.setPen(QPen(*look_.stroke, 1));
        painter.drawPath(edge);
    }
}

// --- KTDot

KTDot::KTDot(const QColor& colour, int side, QWidget* parent) : QWidget(parent), colour_(colour) {
    setFixedSize(side, side);
}

void KTDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour_);
    painter.drawEllipse(QRectF(rect()));
}

// --- KTDialogImage

KTDialogImage::KTDialogImage(const QImage& image, const QColor& outline, QWidget* parent)
    : QWidget(parent), image_(image), outline_(outline) {
    setFixedSize(PermissionSections::dialogImageSize(image.size()).toSize());
}

void KTDialogImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QSizeF box = PermissionSections::dialogImageSize(image_.size());
    const QRectF frame(0, 0, box.width(), box.height());
    QPainterPath clip;
    clip.addRoundedRect(frame, 9, 9);
    painter.setClipPath(clip);
    // Scaled to fit the frame, centred in it.
    const QSizeF fitted = QSizeF(image_.size()).scaled(box, Qt::KeepAspectRatio);
    painter.drawImage(
        QRectF(QPointF(frame.center().x() - fitted.width() / 2, frame.center().y() - fitted.height() / 2),
               fitted),
        image_);
    painter.setClipping(false);
    QPainterPath edge;
    edge.addRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 8.5, 8.5);
    painter.setPen(QPen(KTResolvedBrand::faded(outline_, 0.22), 1));
    painter.drawPath(edge);
}

// --- rows of a symbol and a text

QHBoxLayout* symbolRow(Symbol symbol, double side, const QColor& colour, QWidget* text, int spacing,
                       int symbolTop, bool centred) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    auto* glyph = new SymbolView(symbol, side, colour, text->parentWidget());
    if (centred) {
        row->addWidget(glyph, 0, Qt::AlignVCenter);
        row->addWidget(text, 1, Qt::AlignVCenter);
        return row;
    }
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, symbolTop, 0, 0);
    column->addWidget(glyph);
    column->addStretch(1);
    row->addLayout(column);
    row->addWidget(text, 1);
    return row;
}

QMimeData* KTAppDragSource::dragData(const QString& bundlePath) {
    auto* data = new QMimeData;
    if (!bundlePath.isEmpty())
        data->setUrls({QUrl::fromLocalFile(bundlePath)});
    return data;
}

void KTAppDragSource::enterEvent(QEnterEvent*) {
    hoverChanged(true);
}

void KTAppDragSource::leaveEvent(QEvent*) {
    hoverChanged(false);
}

void KTAppDragSource::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        pressedAt_ = event->position().toPoint();
}

void KTAppDragSource::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedAt_ || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - *pressedAt_).manhattanLength() < QApplication::startDragDistance())
        return;
    pressedAt_.reset();
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData(AppBundle::current().bundlePath()));
    if (const QPixmap picture = dragPicture(); !picture.isNull()) {
        drag->setPixmap(picture);
        drag->setHotSpot(QPoint(picture.width() / 2, picture.height() / 2) / picture.devicePixelRatio());
    }
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

void KTAppDragSource::mouseReleaseEvent(QMouseEvent*) {
    pressedAt_.reset();
}

}  // namespace rk
