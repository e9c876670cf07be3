#pragma once
// Helpers for tests of any widgets: clicks at a point, rendering to an
// image, finding visible children, pressing buttons by title and reading
// pixels.

#include <QColor>
#include <QImage>
#include <QWidget>

namespace rk::test {

// A left-button press and release at `pos` (widget coordinates).
void click(QWidget* widget, QPoint pos);
inline void clickCentre(QWidget* widget) {
    click(widget, widget->rect().center());
}

// Lays `widget` out at `width` (height as its contents need), shows it
// offscreen, processes pending events and returns what it draws.
QImage render(QWidget* widget, int width = 600);
// Lets posted events (layout, deferred rebuilds) run.
void settle();

// Visible descendants of type T.
template <typename T>
QList<T*> visibleChildren(const QWidget* root) {
    QList<T*> found;
    for (T* child : root->findChildren<T*>()) {
        if (child->isVisibleTo(root))
            found.append(child);
    }
    return found;
}

// The shown button (of the app's button types) with this title; nullptr
// when none.
QWidget* buttonTitled(const QWidget* root, const QString& title);
// Presses it (fails the test when absent).
void press(const QWidget* root, const QString& title);
// Presses it, then lets what the press posted run.
inline void pressAndSettle(const QWidget* root, const QString& title) {
    press(root, title);
    settle();
}

// "<build folder>/ui-pages/<name>.png"; the folder is made. Returns the path.
QString savePng(const QImage& image, const QString& name);

// The pixel's colour at `point`, scaled for the image's device pixel ratio.
QColor pixel(const QImage& image, QPointF point);
// True when the colours differ by at most `tolerance` per channel.
bool near(const QColor& a, const QColor& b, int tolerance = 6);

}  // namespace rk::test
