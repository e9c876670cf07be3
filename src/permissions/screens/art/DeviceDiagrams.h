#pragma once
// Four capability diagrams of the art catalogue, each a small immutable
// value whose `draw` is a pure function of the canvas size, the time t and
// its fields: location, Bluetooth, notifications and calendar. None draws
// text. Built by `KTCapabilityArt` and drawn by a `FlowCanvas`; see
// `ArtToolkit.h` for the drawing conventions.

#include <QSizeF>

#include "permissions/screens/art/ArtToolkit.h"

class QPainter;

namespace rk {

// A street map with a shaded accuracy area and a place marker. Still; never
// reads the ink.
struct LocationDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const LocationDiagram&, const LocationDiagram&) = default;
};

// A display sending waves, brightening outwards, to a Bluetooth device.
// Never reads the ink.
struct BluetoothDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const BluetoothDiagram&, const BluetoothDiagram&) = default;
};

// A display showing a banner whose outline breathes, with dashes marching
// in from the side.
struct NotificationsDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const NotificationsDiagram&, const NotificationsDiagram&) = default;
};

// A calendar page with one day lit, linked by marching dashes to an app tile
// whose outline breathes.
struct CalendarDiagram {
    KTArtColours colours;

    void draw(QPainter& painter, const QSizeF& size, double t) const;
    friend bool operator==(const CalendarDiagram&, const CalendarDiagram&) = default;
};

}  // namespace rk
