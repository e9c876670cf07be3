#include "permissions/screens/DragGuide.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include "permissions/screens/WizardWidgets.h"
#include "platform/AppBundle.h"
#include "platform/MotionPreference.h"
#include "ui/Rendering.h"

namespace rk {

namespace {
constexpr int kMarkSide = 52;
constexpr double kHoverScale = 1.06;
constexpr int kHoverMilliseconds = 180;

// The mark that drags the app: hovering scales it (eased) and deepens its
// shadow (at once); a drag carries the app bundle's file URL, or nothing
// when the bundle is unknown.
class DragMark : public KTAppDragSource {
public:
    DragMark(KTResolvedMark mark, const QString& appName, QWidget* parent)
        : KTAppDragSource(parent),
          mark_(std::move(mark)),
          still_(MotionPreference::current().reduceMotion() || Rendering::isStatic()),
          shadow_(new QGraphicsDropShadowEffect(this)),
          scale_(new QVariantAnimation(this)) {
        setFixedSize(kMarkSide, kMarkSide);
        setCursor(Qt::OpenHandCursor);
        setToolTip(DragGuide::dragHint(appName));
        setAccessibleName(DragGuide::dragHint(appName));
        shadow_->setOffset(0, 3);
        setGraphicsEffect(shadow_);
        scale_->setDuration(kHoverMilliseconds);
        scale_->setEasingCurve(QEasingCurve::OutCubic);
        connect(scale_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            factor_ = value.toDouble();
            update();
        });
        setHovering(false);
    }

protected:
    void hoverChanged(bool hovering) override { setHovering(hovering); }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QPointF centre = QRectF(rect()).center();
        painter.translate(centre);
        painter.scale(factor_, factor_);
        painter.translate(-centre);
        if (mark_)
            mark_(painter, QRectF(rect()));
    }

private:
    void setHovering(bool hovering) {
        shadow_->setColor(QColor(0, 0, 0, hovering ? 51 : 26));
        shadow_->setBlurRadius(hovering ? 18 : 10);
        const double target = hovering && !still_ ? kHoverScale : 1.0;
        scale_->stop();
        if (still_) {
            factor_ = target;
            update();
            return;
        }
        scale_->setStartValue(factor_);
        scale_->setEndValue(target);
        scale_->start();
    }

    KTResolvedMark mark_;
    bool still_;
    QGraphicsDropShadowEffect* shadow_;
    QVariantAnimation* scale_;
    double factor_ = 1.0;
};

// The dashed box that stands for the list the app is dragged into.
class DropBox : public QWidget {
public:
    DropBox(const QColor& colour, QWidget* parent) : QWidget(parent), colour_(colour) {
        setFixedHeight(62);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFont(uiFont(11));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath edge;
        edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8.5, 8.5);
        QPen pen(KTResolvedBrand::faded(colour_, 0.45), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({4, 4});
        pen.setMiterLimit(10);
        painter.setPen(pen);
        painter.drawPath(edge);
        painter.setPen(colour_);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, "the list in System Settings");
    }

private:
    QColor colour_;
};
}  // namespace

QString DragGuide::instruction(const QString& appName) {
    return "Click + in that list and choose " + appName + ", then switch it on:";
}

QString DragGuide::dragHint(const QString& appName) {
    return "Drag " + appName + " into the list in System Settings";
}

DragGuide::DragGuide(const KTResolvedBrand& brand, const QString& appName, QWidget* parent)
    : QWidget(parent) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    lines->addWidget(
        makeLabel(instruction(appName), {.pixels = 12, .weight = QFont::Medium, .colour = brand.ink}, this));
    lines->addWidget(makeLabel("Or drag it in. Either way pick the app itself, not anything inside it.",
                               {.pixels = 11, .colour = brand.inkMuted}, this));
    stack->addLayout(lines);

    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    auto* source = new QVBoxLayout;
    source->setSpacing(6);
    source->addWidget(new DragMark(brand.mark, appName, this), 0, Qt::AlignHCenter);
    source->addWidget(
        makeLabel("drag me", {.pixels = 10, .weight = QFont::Medium, .colour = brand.inkMuted, .wrap = false},
                  this),
        0, Qt::AlignHCenter);
    row->addLayout(source);
    row->addWidget(
        new SymbolView(Symbol::arrowRight, 13, KTResolvedBrand::faded(brand.accentText, 0.75), this), 0,
        Qt::AlignVCenter);
    row->addWidget(new DropBox(brand.inkMuted, this), 1, Qt::AlignVCenter);
    stack->addLayout(row);
}

}  // namespace rk
