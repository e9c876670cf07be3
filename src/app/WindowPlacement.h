#pragma once
// Moves the main window beside the System Settings window shortly after the
// app asked System Settings to open a page, so the person sees both, and
// keeps the window's first and restored frames inside a screen.
//
// Geometry here is Qt's global screen space, which like Accessibility's has
// its origin at the top left of the first screen and y growing downwards, so
// System Settings' Accessibility frame is used as it is.

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/Workspace.h"

namespace rk {

struct ScreenArea {
    QRectF frame;    // the whole screen
    QRectF visible;  // without menu bar and docks
};

struct WindowPlacement {
    static constexpr int delayMs = 1500;
    static constexpr double gap = 12;

    // The main window's new top-left corner, or none to leave it where it
    // is. `settings` is System Settings' frame, `window` the main window's
    // size (which never changes). Left of System Settings when there is
    // room, else right of it; the tops are aligned where the visible frame
    // allows, and the window stays inside it vertically.
    static std::optional<QPointF> beside(const QRectF& settings, const std::vector<ScreenArea>& screens,
                                         const QSizeF& window);

    // Returns at once; 1.5 seconds later, on the main thread, moves the
    // window named "main" beside System Settings when it is running and its
    // window can be read. Every missing piece leaves the window alone.
    static void besideSettingsSoon();
    // The move itself, at once; main thread, with a QApplication.
    static void besideSettingsNow(Workspace& workspace = Workspace::current(),
                                  Accessibility& accessibility = Accessibility::current());
    // The frame a window given `frame` takes so that all of it lies inside
    // a screen's visible frame: on the screen it overlaps most, moved and,
    // where it is larger, shrunk (never below `minimum`); when it overlaps
    // no screen (the one it was on is gone), centred on the first screen.
    // Where even `minimum` does not fit, its top-left corner is the visible
    // frame's. None without screens.
    static std::optional<QRect> inside(const QRect& frame, const QSize& minimum,
                                       const std::vector<ScreenArea>& screens);
    // A first window of `size`: centred on the first screen's visible frame
    // after being shrunk to it as `inside` does.
    static std::optional<QRect> centred(const QSize& size, const QSize& minimum,
                                        const std::vector<ScreenArea>& screens);
    // Qt's screens as frames and visible frames, in its order (the primary first).
    static std::vector<ScreenArea> screens();
};

}  // namespace rk
