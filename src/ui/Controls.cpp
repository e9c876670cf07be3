#include "ui/Controls.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeySequence>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <cmath>

#include "platform/Appearance.h"
#include "ui/Rendering.h"

namespace rk {

namespace {

constexpr double kFocusRingWidth = 2;
// Between a button's symbol and its title.
constexpr int kSymbolGap = 5;
constexpr const char* kKeyboardFocus = "rkKeyboardFocus";

// Notes on each control whether it holds focus that came from Tab or
// Backtab. A window that goes to the background and comes back hands the
// focus back as it was, so those changes leave the note alone.
class FocusNotes final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) {
            return false;
        }
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
            return false;
        }
        // Tab into an open card or another window takes the focus away but
        // leaves the control its window's focus, handed back as it was when
        // that closes.
        if (const auto* control = qobject_cast<QWidget*>(watched);
            event->type() == QEvent::FocusOut && control && control->window()->focusWidget() == control) {
            return false;
        }
        const bool keyboard = event->type() == QEvent::FocusIn &&
                              (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason);
        watched->setProperty(kKeyboardFocus, keyboard);
        return false;
    }
};

// What the app's clickable controls share: the title and font, a fixed size,
// the pointing hand, a place in the Tab order and the action on each click.
void setUpButton(QAbstractButton* button, const QString& title, const QFont& font,
                 std::function<void()> action) {
    setButtonTitle(button, title);
    button->setFont(font);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setCursor(Qt::PointingHandCursor);
    takeTabFocus(button);
    if (action) {
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [action = std::move(action)] { action(); });
    }
}

}  // namespace

QFont uiFont(double pixels, QFont::Weight weight, bool monospaced) {
    QFont font = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QApplication::font();
    if (monospaced) {
        font.setStyleHint(QFont::Monospace);
    }
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setWeight(weight);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

void applyScheme(QWidget* widget, bool dark) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Palette::ground(dark));
    palette.setColor(QPalette::Base, Palette::ground(dark));
    palette.setColor(QPalette::WindowText, Palette::ink(dark));
    palette.setColor(QPalette::Text, Palette::ink(dark));
    palette.setColor(QPalette::ButtonText, Palette::ink(dark));
    palette.setColor(QPalette::Highlight, Palette::withOpacity(Palette::gold(), 0.45));
    palette.setColor(QPalette::HighlightedText, Palette::ink(dark));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* makeLabel(const QString& text, const TextStyle& style, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Outside text (record names, paths, the Mac's name) must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(uiFont(style.pixels, style.weight, style.monospaced));
    if (style.colour) {
        setTextColour(label, *style.colour);
    }
    if (style.wrap) {
        label->setWordWrap(true);
        // A long word (a path, an identifier) must not widen the whole window.
        label->setMinimumWidth(1);
    }
    if (style.selectable) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setCursor(Qt::IBeamCursor);
    }
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget* makeDivider(bool dark, QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Palette::line(dark));
    line->setPalette(palette);
    return line;
}

void setButtonTitle(QAbstractButton* button, const QString& title) {
    button->setText(title);
    button->setShortcut(QKeySequence());
}

void addLeading(QBoxLayout* layout, QWidget* widget) {
    if (widget->sizePolicy().horizontalPolicy() & QSizePolicy::GrowFlag) {
        layout->addWidget(widget);
    } else {
        layout->addWidget(widget, 0, Qt::AlignLeft);
    }
}

QColor focusRingColour(bool dark) {
    return Palette::blue(dark);
}

void takeTabFocus(QWidget* control) {
    // One for the application, which ends it.
    static QPointer<FocusNotes> notes;
    if (!notes) {
        notes = new FocusNotes(QCoreApplication::instance());
    }
    control->setFocusPolicy(Qt::TabFocus);
    control->installEventFilter(notes);
}

void passFocus(const QWidget& from, QWidget* to) {
    if (to != nullptr) {
        to->setFocus(from.property(kKeyboardFocus).toBool() ? Qt::TabFocusReason : Qt::OtherFocusReason);
    }
}

void retireKeepingFocus(QWidget& old, const QWidget* focused, QWidget* heir) {
    if (focused != nullptr && old.isAncestorOf(focused)) {
        passFocus(*focused, heir);
    }
    old.hide();
    old.deleteLater();
}

void paintFocusRing(QPainter& painter, const QWidget& control, double cornerRadius) {
    if (!control.hasFocus() || !control.property(kKeyboardFocus).toBool()) {
        return;
    }
    const double inset = kFocusRingWidth / 2;
    QPainterPath ring;
    ring.addRoundedRect(QRectF(control.rect()).adjusted(inset, inset, -inset, -inset),
                        std::max(0.0, cornerRadius - inset), std::max(0.0, cornerRadius - inset));
    painter.save();
    painter.setOpacity(1);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(focusRingColour(Appearance::isDark(control.palette())), kFocusRingWidth));
    painter.drawPath(ring);
    painter.restore();
}

// --- ElidedLabel

ElidedLabel::ElidedLabel(const QString& text, const TextStyle& style, QWidget* parent)
    : QWidget(parent), text_(text), colour_(style.colour) {
    setFont(uiFont(style.pixels, style.weight, style.monospaced));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    text_ = text;
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const {
    return QFontMetrics(font()).elidedText(text_, Qt::ElideRight, width());
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text_) + 1, metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetrics metrics(font());
    return {std::min(sizeHint().width(), metrics.horizontalAdvance(QStringLiteral("M…"))), metrics.height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour_.value_or(palette().color(QPalette::WindowText)));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

// --- Card

Card::Card(bool dark, std::optional<QColor> stroke, QWidget* parent)
    : QWidget(parent), dark_(dark), stroke_(std::move(stroke)), content_(new QVBoxLayout(this)) {
    content_->setContentsMargins(14, 14, 14, 14);
    content_->setSpacing(8);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void Card::add(QWidget* widget) {
    addLeading(content_, widget);
}

void Card::addLayout(QLayout* layout) {
    content_->addLayout(layout);
}

QColor Card::fill() const {
    return Palette::card(dark_);
}

QColor Card::outline() const {
    return stroke_.value_or(Palette::line(dark_));
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double width = outlineWidth();
    const QRectF box = QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2);
    QPainterPath path;
    path.addRoundedRect(box, 12, 12);
    painter.fillPath(path, fill());
    painter.setPen(QPen(outline(), width));
    painter.drawPath(path);
}

// --- ShapeButton

ShapeButton::ShapeButton(const QString& title, std::function<void()> action, double fontPixels,
                         QFont::Weight weight, int padX, int padY, double radius, QWidget* parent)
    : QAbstractButton(parent), padX_(padX), padY_(padY), radius_(radius) {
    setUpButton(this, title, uiFont(fontPixels, weight), std::move(action));
}

QSize ShapeButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2 * padX_, metrics.height() + 2 * padY_};
}

QPainterPath ShapeButton::shape() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius_, radius_);
    return path;
}

bool ShapeButton::hitButton(const QPoint& pos) const {
    // The whole rounded shape counts, padding included, not only the glyphs.
    return shape().contains(QPointF(pos));
}

// --- PrimaryButton

PrimaryButton::PrimaryButton(const QString& title, std::function<void()> action, QWidget* parent)
    : ShapeButton(title, std::move(action), 13, QFont::DemiBold, 14, 8, 9, parent) {}

void PrimaryButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (isDown()) {
        painter.setOpacity(0.75);
    }
    painter.fillPath(shape(), fillColour());
    painter.setPen(titleColour());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    paintFocusRing(painter, *this, radius());
}

// --- QuietButton

QuietButton::QuietButton(bool dark, const QString& title, std::function<void()> action, QWidget* parent)
    : ShapeButton(title, std::move(action), 12, QFont::Medium, 12, 6, 8, parent), dark_(dark) {}

QColor QuietButton::outlineColour() const {
    return Palette::line(dark_);
}

QColor QuietButton::titleColour() const {
    return Palette::ink(dark_);
}

void QuietButton::setSymbol(Symbol symbol) {
    symbol_ = symbol;
    updateGeometry();
    update();
}

QSize QuietButton::sizeHint() const {
    QSize size = ShapeButton::sizeHint();
    if (symbol_) {
        size.rwidth() += QFontMetrics(font()).height() + kSymbolGap;
    }
    return size;
}

void QuietButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (isDown()) {
        painter.setOpacity(0.6);
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius(), radius());
    painter.setPen(QPen(outlineColour(), 1));
    painter.drawPath(path);
    QRect titleArea = rect();
    if (symbol_) {
        // The symbol, as tall as a line of the title, and the title centred together.
        const QFontMetrics metrics(font());
        const int side = metrics.height();
        const int row = side + kSymbolGap + metrics.horizontalAdvance(text());
        const int left = (width() - row) / 2;
        Symbols::paint(painter, *symbol_, QRectF(left, (height() - side) / 2.0, side, side), titleColour());
        titleArea.setLeft(left + side + kSymbolGap);
    }
    painter.setPen(titleColour());
    painter.setFont(font());
    painter.drawText(titleArea,
                     (symbol_ ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter | Qt::TextSingleLine,
                     text());
    paintFocusRing(painter, *this, radius());
}

// --- TextButton

TextButton::TextButton(const QString& title, const TextStyle& style, std::function<void()> action,
                       QWidget* parent)
    : QAbstractButton(parent), colour_(style.colour.value_or(QColor())) {
    setUpButton(this, title, uiFont(style.pixels, style.weight, style.monospaced), std::move(action));
}

void TextButton::setTitle(const QString& title) {
    setButtonTitle(this, title);
    updateGeometry();
    update();
}

QSize TextButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 1, metrics.height()};
}

void TextButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (isDown()) {
        painter.setOpacity(0.6);
    }
    painter.setPen(colour_.isValid() ? colour_ : palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    paintFocusRing(painter, *this, 3);
}

// --- CapsuleSwitch

CapsuleSwitch::CapsuleSwitch(bool dark, bool on, std::function<void(bool)> changed, QWidget* parent)
    : QAbstractButton(parent),
      dark_(dark),
      on_(on),
      position_(on ? 1.0 : 0.0),
      changed_(std::move(changed)),
      animation_(new QVariantAnimation(this)) {
    setFixedSize(trackWidth, trackHeight);
    setCursor(Qt::PointingHandCursor);
    takeTabFocus(this);
    animation_->setDuration(animationMs);
    animation_->setEasingCurve(QEasingCurve::OutQuad);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        position_ = value.toDouble();
        update();
    });
    connect(this, &QAbstractButton::clicked, this, &CapsuleSwitch::flip);
}

void CapsuleSwitch::setOn(bool on) {
    // The value it has already: a slide under way goes on to its end.
    if (on == on_) {
        return;
    }
    animation_->stop();
    on_ = on;
    position_ = on ? 1.0 : 0.0;
    update();
}

bool CapsuleSwitch::isAnimating() const {
    return animation_->state() == QAbstractAnimation::Running;
}

void CapsuleSwitch::flip() {
    // The value changes at the click; only the knob's slide takes time.
    on_ = !on_;
    const double target = on_ ? 1.0 : 0.0;
    animation_->stop();
    if (Rendering::isStatic()) {
        position_ = target;
        update();
    } else {
        animation_->setStartValue(position_);
        animation_->setEndValue(target);
        animation_->start();
    }
    if (changed_) {
        changed_(on_);
    }
}

QColor CapsuleSwitch::trackColour() const {
    const QColor off = Palette::line(dark_);
    const QColor on = Palette::gold();
    const double t = std::clamp(position_, 0.0, 1.0);
    return QColor::fromRgbF(float(off.redF() + (on.redF() - off.redF()) * t),
                            float(off.greenF() + (on.greenF() - off.greenF()) * t),
                            float(off.blueF() + (on.blueF() - off.blueF()) * t), 1.0f);
}

void CapsuleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (!isEnabled()) {
        painter.setOpacity(0.45);
    }
    const QRectF track(0, 0, trackWidth, trackHeight);
    QPainterPath capsule;
    capsule.addRoundedRect(track, trackHeight / 2.0, trackHeight / 2.0);
    painter.fillPath(capsule, trackColour());
    const double travel = trackWidth - trackHeight;
    const QRectF knob(2 + travel * position_, 2, knobSide, knobSide);
    // A faint dark rim stands in for the knob's small shadow.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 84));
    painter.drawEllipse(knob.adjusted(-0.5, -0.5, 0.5, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    paintFocusRing(painter, *this, trackHeight / 2.0);
}

}  // namespace rk
