#pragma once
// Six capability diagrams of the art catalogue, each a small immutable value
// whose `draw` is a pure function of the canvas size, the time t and its
// fields: crossing between displays, screen capture, files, arranging
// windows, the menu bar and listening. None draws text. Built by
// `KTCapabilityArt` and drawn by a `FlowCanvas`; see `ArtToolkit.h` for the
// drawing conventions.

#include <QSizeF>

#include "permissions/screens/art/ArtToolkit.h"

class QPainter;

namespace rk {

// A plain display, a dashed arrow into a highlighted one, and a pointer in
// the gap. The dashes march.
struct CrossingDiagram {
    KTArtColours colours;
    bool showsPointer = true;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const CrossingDiagram&, const CrossingDiagram&) = default;
};

// A display with a dashed selection and its handles, and a dashed arrow to
// a picture card whose outline breathes.
struct CaptureDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const CaptureDiagram&, const CaptureDiagram&) = default;
};

// A folder, three document cards leaving it and a highlighted display. Still.
struct FilesDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const FilesDiagram&, const FilesDiagram&) = default;
};

// A floating window and a dashed arrow into the right half of a display
// whose left half is an empty slot. The dashes march.
struct ArrangingDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const ArrangingDiagram&, const ArrangingDiagram&) = default;
};

// A menu bar with six status icons, one lifted out and tied to its empty
// place. Still.
struct MenuBarDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const MenuBarDiagram&, const MenuBarDiagram&) = default;
};

// A microphone and three arcs of sound that brighten in turn, outwards.
struct ListeningDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const ListeningDiagram&, const ListeningDiagram&) = default;
};

}  // namespace rk
