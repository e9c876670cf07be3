#pragma once
// The few small glyphs the pages and the permission wizard's screens use,
// drawn as our own vector shapes in one colour, and the small spinning
// progress indicator.

#include <QColor>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace rk {

enum class Symbol {
    hourglass,
    checkmarkCircleFill,  // a filled disc with a check cut out
    circle,               // an empty ring
    arrowDownCircle,      // a ring with a downward arrow
    laptop,
    gear,
    handRaisedFill,           // an open hand held up: a boundary
    arrowsCircle,             // two arrows chasing round a circle: done again
    gearArrowsCircle,         // a small gear inside the two arrows: restarted
    exclamationTriangleFill,  // a filled warning triangle with the mark cut out
    arrowRight,
    trayArrowDown,  // an arrow going down into a square in front of another
};

struct Symbols {
    // Draws `symbol` filling the square centred in `rect`.
    static void paint(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& colour);
};

// One glyph as a widget, `side` pixels square.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(Symbol symbol, double side, const QColor& colour, QWidget* parent = nullptr);
    Symbol symbol() const { return symbol_; }
    QColor colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Symbol symbol_;
    double side_;
    QColor colour_;
};

// The small indeterminate progress indicator: twelve spokes turning. It
// stands still under static rendering.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(const QColor& colour, int side = 16, QWidget* parent = nullptr);
    bool isSpinning() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QColor colour_;
    int step_ = 0;
    QTimer timer_;
};

}  // namespace rk
