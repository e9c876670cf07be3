#pragma once
// The last three capability diagrams of the art catalogue, each a small
// immutable value whose `draw` is a pure function of the canvas size, the
// time t and its fields: the camera, typing, and a context-menu row. None
// draws text. Built by `KTCapabilityArt` and drawn by a `FlowCanvas`; see
// `ArtToolkit.h` for the drawing conventions.

#include <QSizeF>

#include "permissions/screens/art/ArtToolkit.h"

class QPainter;

namespace rk {

// A camera whose signal radiates away from it in three waves. Never reads
// the ink.
struct CameraDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const CameraDiagram&, const CameraDiagram&) = default;
};

// A keyboard with one key lit whose keystroke travels, as marching dashes,
// into a text field that glows. Never reads the ink.
struct TypingDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const TypingDiagram&, const TypingDiagram&) = default;
};

// A document under the pointer, linked by marching dashes to the highlighted
// first row of a context menu whose outline breathes.
struct ContextMenuRowDiagram {
    KTArtColours colours;
    // The width given to the row's label, in points; the menu is this plus
    // 46, and at least 120, wide.
    double rowLabelWidth = 96;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const ContextMenuRowDiagram&, const ContextMenuRowDiagram&) = default;
};

}  // namespace rk
