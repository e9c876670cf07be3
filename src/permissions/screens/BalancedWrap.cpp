#include "permissions/screens/BalancedWrap.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace rk {

QSizeF KTBalancedWrap::sizeThatFits(const Proposal& proposal, const Measure& child) {
    if (!child)
        return {0, 0};
    if (!proposal.width || !std::isfinite(*proposal.width) || *proposal.width <= 1.0)
        return child(proposal);
    const double offered = *proposal.width;
    const QSizeF natural = child({offered, std::nullopt});
    const double limit = natural.height() + heightTolerance;
    double lo = 0.0;
    double hi = natural.width();
    for (int i = 0; i < halvings; ++i) {
        const double mid = (lo + hi) * 0.5;
        if (child({mid, std::nullopt}).height() <= limit)
            hi = mid;
        else
            lo = mid;
    }
    const double width = std::min(hi + slack, offered);
    const double height = child({width, std::nullopt}).height();
    if (height <= limit)
        return {width, height};
    return natural;
}

namespace {
constexpr int kFlags = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop;
// Wide enough for any one line of a paragraph.
constexpr double kUnbounded = 1e6;
}  // namespace

KTBalancedLabel::KTBalancedLabel(const QString& text, const QFont& font, const QColor& colour,
                                 QWidget* parent)
    : QWidget(parent), text_(text), colour_(colour) {
    setFont(font);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QSizeF KTBalancedLabel::measure(const KTBalancedWrap::Proposal& proposal) const {
    const QRectF box(0, 0, proposal.width.value_or(kUnbounded), kUnbounded);
    return QFontMetricsF(font()).boundingRect(box, kFlags, text_).size();
}

double KTBalancedLabel::balancedWidth(double width) const {
    return KTBalancedWrap::sizeThatFits({width, std::nullopt}, [this](const auto& p) { return measure(p); })
        .width();
}

int KTBalancedLabel::heightForWidth(int width) const {
    const QSizeF size = KTBalancedWrap::sizeThatFits({double(width), std::nullopt},
                                                     [this](const auto& p) { return measure(p); });
    return int(std::ceil(size.height()));
}

QSize KTBalancedLabel::sizeHint() const {
    const QSizeF natural = measure({});
    return {int(std::ceil(natural.width())), int(std::ceil(natural.height()))};
}

QSize KTBalancedLabel::minimumSizeHint() const {
    return {1, QFontMetrics(font()).height()};
}

void KTBalancedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour_);
    painter.setFont(font());
    const double width = balancedWidth(this->width());
    const QRectF lines((this->width() - width) / 2, 0, width, height());
    painter.drawText(lines, kFlags, text_);
}

}  // namespace rk
