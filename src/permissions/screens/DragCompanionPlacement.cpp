#include "permissions/screens/DragCompanionPlacement.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace rk {

namespace {

// Raises `v` to at least `lo`, then lowers it to at most `hi`: `hi` wins
// when the two cross, which keeps a card that is larger than the area at the
// area's low edge.
double clamp(double v, double lo, double hi) {
    return std::min(std::max(v, lo), hi);
}

bool isFinite(const Rect& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
}

}  // namespace

bool KTScreenRect::contains(const KTScreenRect& inner) const {
    return inner.minX() >= minX() && inner.maxX() <= maxX() && inner.minY() >= minY() &&
           inner.maxY() <= maxY();
}

double KTScreenRect::overlapArea(const KTScreenRect& other) const {
    const double w = std::min(maxX(), other.maxX()) - std::max(minX(), other.minX());
    const double h = std::min(maxY(), other.maxY()) - std::max(minY(), other.minY());
    return w > 0 && h > 0 ? w * h : 0;
}

KTScreenRect KTScreenRect::fromWindowList(const Rect& r, double firstScreenHeight) {
    return {r.x, firstScreenHeight - (r.y + r.height), r.width, r.height};
}

Rect KTScreenRect::toWindowList(double firstScreenHeight) const {
    return {x, firstScreenHeight - maxY(), width, height};
}

KTScreenRect KTDragCompanionPlacement::place(QSizeF size, const KTScreenRect& beside, const KTScreenRect& in,
                                             double gap) {
    const double w = size.width();
    const double h = size.height();
    const KTScreenRect area{in.x + inset, in.y + inset, in.width - 2 * inset, in.height - 2 * inset};
    const double y = clamp(beside.maxY() - dropBelowTop - h, area.minY(), area.maxY() - h);
    const double xAligned = clamp(beside.maxX() - w, area.minX(), area.maxX() - w);
    const std::array<KTScreenRect, 4> candidates{{
        {beside.maxX() + gap, y, w, h},             // right of the window
        {beside.minX() - gap - w, y, w, h},         // left of it
        {xAligned, beside.minY() - gap - h, w, h},  // below it
        {xAligned, beside.maxY() + gap, w, h},      // above it
    }};
    for (const KTScreenRect& candidate : candidates) {
        if (area.contains(candidate))
            return candidate;
    }
    // Over the sidebar, which holds nothing the person needs while dragging.
    return {clamp(beside.minX() + 10, area.minX(), area.maxX() - w),
            clamp(beside.minY() + 10, area.minY(), area.maxY() - h), w, h};
}

std::optional<Rect> KTDragCompanionPlacement::settingsWindowFrame(const QList<WindowDescription>& windows,
                                                                  std::int32_t pid) {
    std::optional<Rect> largest;
    for (const WindowDescription& window : windows) {
        if (window.ownerPid != pid || window.layer != 0 || !window.x || !window.y || !window.width ||
            !window.height)
            continue;
        const Rect frame{*window.x, *window.y, *window.width, *window.height};
        if (!isFinite(frame) || !(frame.width > smallestSettingsWindow) ||
            !(frame.height > smallestSettingsWindow))
            continue;
        if (!largest || frame.width * frame.height > largest->width * largest->height)
            largest = frame;
    }
    return largest;
}

std::optional<Rect> KTDragCompanionPlacement::panelFrame(const Rect& window, QSizeF cardSize,
                                                         const QList<KTDisplay>& displays) {
    if (displays.isEmpty() || !isFinite(window))
        return std::nullopt;
    const double firstHeight = displays.first().frame.height;
    const KTScreenRect beside = KTScreenRect::fromWindowList(window, firstHeight);
    const KTDisplay* chosen = &displays.first();
    double chosenArea = 0;
    for (const KTDisplay& display : displays) {
        const double area = KTScreenRect::fromWindowList(display.frame, firstHeight).overlapArea(beside);
        if (area > chosenArea) {
            chosen = &display;
            chosenArea = area;
        }
    }
    const KTScreenRect in = KTScreenRect::fromWindowList(chosen->available, firstHeight);
    const Rect frame = place(cardSize, beside, in).toWindowList(firstHeight);
    return isFinite(frame) ? std::optional(frame) : std::nullopt;
}

}  // namespace rk
