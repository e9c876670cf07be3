#pragma once
// Balanced line breaks for a centred closing paragraph: the narrowest width
// at which the text needs no more lines than at the full width offered, so
// a paragraph never ends in one short orphan word. `KTBalancedWrap` is the
// rule over any child that can be measured; `KTBalancedLabel` is the text
// that the summary and done screens put under it. Main thread.

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace rk {

struct KTBalancedWrap {
    // A size offered to the child; an absent side is unspecified.
    struct Proposal {
        std::optional<double> width;
        std::optional<double> height;
    };
    // The child's size for a proposal.
    using Measure = std::function<QSizeF(const Proposal& proposal)>;

    static constexpr int halvings = 14;
    static constexpr double heightTolerance = 0.5;  // a line count kept within half a point
    static constexpr double slack = 1.0;            // added to the width found

    // The size for `proposal` (zero without a child). An unspecified, not
    // finite or not positive (1 or less) width passes through to the child.
    // Otherwise the natural size (w0, h0) at that width, then 14 halvings of
    // 0..w0 for the narrowest width whose height stays within h0 + 0.5, plus
    // one point, never wider than offered; a child taller at that width than
    // the limit gives the natural size instead.
    static QSizeF sizeThatFits(const Proposal& proposal, const Measure& child);
};

// A centred, word-wrapped plain text, as wide as its parent makes it, whose
// lines break at the balanced width and stand centred in it.
class KTBalancedLabel : public QWidget {
    Q_OBJECT
public:
    KTBalancedLabel(const QString& text, const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    QString text() const { return text_; }
    // The width the lines break at when the label is `width` wide.
    double balancedWidth(double width) const;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSizeF measure(const KTBalancedWrap::Proposal& proposal) const;
    QString text_;
    QColor colour_;
};

}  // namespace rk
