#pragma once
// The live marks: a transparent, click-through panel laid exactly over the
// System Settings window, on which the red and green marks are drawn. It
// floats above other windows, never takes focus or clicks, and is made once,
// the first time there are marks to show, then only shown and hidden.

#include <QList>
#include <QRect>
#include <QWidget>
#include <memory>
#include <optional>

#include "finder/Decision.h"
#include "platform/Geometry.h"

namespace rk {

// The panel's content: draws the marks in window points, y growing downwards.
class MarksView final : public QWidget {
public:
    explicit MarksView(QWidget* parent = nullptr);

    QList<Mark> marks;
    std::optional<Rect> minus;  // the minus button, screen points
    Rect windowFrame;           // the System Settings window, screen points

protected:
    void paintEvent(QPaintEvent* event) override;
};

class MarksOverlay final {
public:
    MarksOverlay();
    ~MarksOverlay();
    MarksOverlay(const MarksOverlay&) = delete;
    MarksOverlay& operator=(const MarksOverlay&) = delete;

    // Lays the panel over the window and draws the marks on it; with no marks
    // or no screen, hides it instead of drawing at a guessed place.
    void show(const QList<Mark>& marks, const std::optional<Rect>& minus, const Rect& windowFrame);
    void hide();
    // True when the panel exists and is visible.
    bool isShowing() const;

    // None until the first show with marks.
    const QWidget* panel() const { return panel_.get(); }
    const MarksView& view() const { return *view_; }

    // The panel's frame in a screen space whose origin is the bottom left of
    // the first screen, y growing upwards, from a window frame in the top-left
    // space of the screen readers.
    static Rect panelFrame(const Rect& windowFrame, double firstScreenHeight);
    // A bottom-left frame back in the toolkit's top-left global space, in
    // whole pixels; none when it is not a place a window can have.
    static std::optional<QRect> toolkitGeometry(const Rect& panelFrame, double firstScreenHeight);

private:
    void makePanel();

    // The view is declared after the panel so that it goes first when the
    // overlay is destroyed: a child deleted first leaves its parent cleanly.
    std::unique_ptr<QWidget> panel_;
    std::unique_ptr<MarksView> view_;
};

}  // namespace rk
