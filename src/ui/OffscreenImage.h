#pragma once
// Drawing widgets into image files without showing them: the page capture
// draws the main window's pages this way, the wizard's window shots its
// screens and the drag companion's cards. The widget is shown with
// `Qt::WA_DontShowOnScreen`, so it lays out and polishes as on screen while
// no window appears, also on the offscreen platform. Main thread of a
// QApplication; `settle` turns the event loop itself.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>

namespace rk {

struct OffscreenImage {
    // Shows `widget` (a top-level one) off screen at its current size.
    static void showOffscreen(QWidget& widget);
    // Runs the event loop for `milliseconds`, so that work the widgets
    // posted to themselves (layouts, rebuilds, deferred deletes) is done.
    static void settle(int milliseconds);
    // What `widget` draws at its size and the screen's pixel ratio, on
    // `ground`; none when no image of that size can be made.
    static std::optional<QImage> draw(QWidget& widget, const QColor& ground);
    // The image as PNG data; none when it cannot be encoded.
    static std::optional<QByteArray> png(const QImage& image);
};

}  // namespace rk
