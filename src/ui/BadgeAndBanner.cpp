#include "ui/BadgeAndBanner.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "ui/Controls.h"
#include "ui/Palette.h"
#include "ui/Rendering.h"

namespace rk {

namespace {

QString ending(const QString& macModel) {
    return macModel.isEmpty() ? QStringLiteral(", this Mac.")
                              : QStringLiteral(" (") + macModel + QStringLiteral("), this Mac.");
}

void paintTintedBox(QPainter& painter, const QRectF& rect, const QColor& colour, double fillOpacity,
                    double lineWidth) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath path;
    path.addRoundedRect(rect.adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2), 10, 10);
    painter.fillPath(path, Palette::withOpacity(colour, fillOpacity));
    painter.setPen(QPen(colour, lineWidth));
    painter.drawPath(path);
}

}  // namespace

// --- MacBadge

QString MacBadge::sentence(const QString& macName, const QString& macModel) {
    return QStringLiteral("This happens on ") + macName + ending(macModel);
}

QString MacBadge::markup(const QString& macName, const QString& macModel) {
    // The only rich text in the window: built from escaped text, so a name
    // such as "<b>Anna</b>" shows literally. Rich text would fold a run of
    // blanks in the name into one; pre-wrap keeps them and still wraps.
    return QStringLiteral("<span style=\"white-space:pre-wrap\">This happens on <b>") +
           macName.toHtmlEscaped() + QStringLiteral("</b>") + ending(macModel).toHtmlEscaped() +
           QStringLiteral("</span>");
}

MacBadge::MacBadge(bool dark, const QString& macName, const QString& macModel, QWidget* parent)
    : QWidget(parent), dark_(dark), label_(new QLabel(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    row->addWidget(new SymbolView(Symbol::laptop, 16, Palette::violet(dark), this), 0, Qt::AlignVCenter);
    label_->setTextFormat(Qt::RichText);
    label_->setFont(uiFont(13));
    label_->setWordWrap(true);
    label_->setMinimumWidth(1);
    label_->setTextInteractionFlags(Qt::NoTextInteraction);
    setMac(macName, macModel);
    row->addWidget(label_, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void MacBadge::setMac(const QString& macName, const QString& macModel) {
    label_->setText(markup(macName, macModel));
}

void MacBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintTintedBox(painter, QRectF(rect()), Palette::violet(dark_), 0.10, 1.5);
}

// --- Banner

Banner::Look Banner::look(Phase phase, bool dark) {
    switch (phase) {
        case Phase::idle:
            return {Mark::hourglass, Palette::blue(dark)};
        case Phase::working:
            return {Mark::spinner, Palette::blue(dark)};
        case Phase::selected:
        case Phase::nothingLeft:
            return {Mark::check, Palette::green(dark)};
        case Phase::circled:
        case Phase::scroll:
        case Phase::wrongPage:
        case Phase::noAccessibility:
        case Phase::notOpen:
            break;
    }
    return {Mark::arrow, Palette::amber(dark)};
}

Banner::Banner(bool dark, Phase phase, const QString& text, QWidget* parent)
    : QWidget(parent),
      dark_(dark),
      phase_(phase),
      shown_(look(phase, dark).colour),
      label_(makeLabel(text, {.pixels = 14, .weight = QFont::DemiBold}, this)),
      fade_(new QVariantAnimation(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    row->addWidget(label_, 1, Qt::AlignTop);
    rebuildMark();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    fade_->setDuration(300);
    fade_->setEasingCurve(QEasingCurve::OutQuad);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        shown_ = value.value<QColor>();
        update();
    });
}

QString Banner::text() const {
    return label_->text();
}

void Banner::rebuildMark() {
    auto* row = static_cast<QHBoxLayout*>(layout());
    if (mark_ != nullptr) {
        row->removeWidget(mark_);
        delete mark_;
    }
    const Look now = look(phase_, dark_);
    switch (now.mark) {
        case Mark::spinner:
            mark_ = new Spinner(Palette::dim(dark_), 16, this);
            break;
        case Mark::hourglass:
            mark_ = new SymbolView(Symbol::hourglass, 20, now.colour, this);
            break;
        case Mark::check:
            mark_ = new SymbolView(Symbol::checkmarkCircleFill, 20, now.colour, this);
            break;
        case Mark::arrow:
            mark_ = new SymbolView(Symbol::arrowDownCircle, 20, now.colour, this);
            break;
    }
    // The mark stays level with the first line of a sentence of several lines.
    row->insertWidget(0, mark_, 0, Qt::AlignTop);
}

void Banner::setState(Phase phase, const QString& text) {
    const QColor from = shown_;
    const bool changed = phase != phase_ || text != label_->text();
    const bool newMark = look(phase, dark_).mark != look(phase_, dark_).mark ||
                         look(phase, dark_).colour != look(phase_, dark_).colour;
    phase_ = phase;
    label_->setText(text);
    if (newMark) {
        rebuildMark();
    }
    const QColor to = look(phase, dark_).colour;
    fade_->stop();
    if (!changed || Rendering::isStatic() || from == to) {
        shown_ = to;
        update();
        return;
    }
    fade_->setStartValue(from);
    fade_->setEndValue(to);
    fade_->start();
}

void Banner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintTintedBox(painter, QRectF(rect()), shown_, 0.12, 2);
}

}  // namespace rk
