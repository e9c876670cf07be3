#pragma once
// The catalogue of capability diagrams: one small animated illustration per
// capability a product may ask the person to allow. This app shows none of
// them; products place them on their own screens, passing the colours of
// their resolved brand (`KTArtColours::fromBrand`).
//
// Each factory builds the diagram value from its arguments and puts it on a
// new `FlowCanvas` (132 points tall, as wide as the layout makes it) owned
// by `parent` when one is given, else by the caller. `catalogue()` lists the
// same thirteen by name, with their drawings, for tools that show or render
// all of them. Main thread.

#include <QList>
#include <QString>

#include "permissions/screens/art/ArtToolkit.h"
#include "permissions/screens/art/FlowCanvas.h"

class QWidget;

namespace rk {

struct KTCapabilityArt {
    static FlowCanvas* crossing(const KTArtColours& colours, bool showsPointer = true,
                                QWidget* parent = nullptr);
    static FlowCanvas* capture(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* files(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* menuBar(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* arranging(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* listening(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* location(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* bluetooth(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* notifications(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* calendar(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* camera(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* typing(const KTArtColours& colours, QWidget* parent = nullptr);
    static FlowCanvas* contextMenuRow(const KTArtColours& colours, double rowLabelWidth = 96,
                                      QWidget* parent = nullptr);

    // One diagram of the catalogue, with its extra settings at their
    // defaults; `new FlowCanvas(entry.drawing(colours))` shows it.
    struct Entry {
        QString name;  // the factory's name: "crossing", "capture", ... "contextMenuRow"
        KTFlowDraw (*drawing)(const KTArtColours& colours);
    };
    // The thirteen, in the order of the factories above.
    static const QList<Entry>& catalogue();

    // A diagram value's drawing, holding its own copy of the value.
    template <class Diagram>
    static KTFlowDraw drawingOf(Diagram diagram) {
        return [diagram](QPainter& painter, const QSizeF& size, double t) { diagram.draw(painter, size, t); };
    }
};

}  // namespace rk
