#pragma once
// Where the drag companion's card stands beside the System Settings window:
// plain geometry for the companion's follow loop and its self-test.
//
// Two coordinate systems meet here. The window list and Qt measure from the
// top left of the first screen with y growing downwards (`Rect`). The
// placement rule is written for screen coordinates with the origin at the
// bottom left of the first screen and y growing upwards (`KTScreenRect`), so
// that "above" and "below" read as a person sees them. The conversion happens
// only at the edges, in `panelFrame`: the window's frame and the displays on
// the way in, the card's frame on the way out.
//
// Any thread; nothing here keeps state.

#include <QList>
#include <QSizeF>
#include <cstdint>
#include <optional>

#include "platform/Geometry.h"
#include "platform/WindowList.h"

namespace rk {

// A rectangle in screen coordinates: origin at the bottom left of the first
// screen, y upwards.
struct KTScreenRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double maxX() const { return x + width; }
    double minY() const { return y; }
    double maxY() const { return y + height; }

    // Whether `inner` lies wholly inside, edges included.
    bool contains(const KTScreenRect& inner) const;
    // The area both cover; 0 when they do not meet.
    double overlapArea(const KTScreenRect& other) const;

    // The same box from window-list coordinates; `firstScreenHeight` is the
    // height of the first screen, whose top edge is the other system's origin.
    static KTScreenRect fromWindowList(const Rect& r, double firstScreenHeight);
    Rect toWindowList(double firstScreenHeight) const;

    friend bool operator==(const KTScreenRect&, const KTScreenRect&) = default;
};

// One display in window-list coordinates, as Qt reports it: the whole frame
// and the part that panels and docks leave free.
struct KTDisplay {
    Rect frame;
    Rect available;

    friend bool operator==(const KTDisplay&, const KTDisplay&) = default;
};

struct KTDragCompanionPlacement {
    static constexpr double defaultGap = 12;
    // The card's top edge stands this far below the window's top edge.
    static constexpr double dropBelowTop = 64;
    // The card keeps this far inside the area it is placed in.
    static constexpr double inset = 8;
    // A System Settings main window is wider and taller than this.
    static constexpr double smallestSettingsWindow = 300;

    // Where a card of `size` goes beside the window `beside`, wholly inside
    // `in` inset by 8: to its right, else its left, else below, else above;
    // when none fits, over the window's sidebar at its lower left corner.
    // Always of `size`.
    static KTScreenRect place(QSizeF size, const KTScreenRect& beside, const KTScreenRect& in,
                              double gap = defaultGap);

    // The System Settings main window among `windows` (front to back): of the
    // windows of process `pid` on layer 0 that are wider and taller than 300,
    // the largest, and of equal ones the frontmost. None when there is none;
    // a description missing a part counts as no such window.
    static std::optional<Rect> settingsWindowFrame(const QList<WindowDescription>& windows, std::int32_t pid);

    // Where the card's panel goes for the Settings window `window`, both in
    // window-list coordinates: placed inside the free part of the display
    // that shares the most area with the window (the first display on a
    // tie, also when none meets it). `displays` starts with the first
    // screen. None without displays, or when a figure is not finite.
    static std::optional<Rect> panelFrame(const Rect& window, QSizeF cardSize,
                                          const QList<KTDisplay>& displays);
};

}  // namespace rk
