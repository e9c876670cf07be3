#include "permissions/screens/art/CapabilityArt.h"

#include "permissions/screens/art/DesktopDiagrams.h"
#include "permissions/screens/art/DeviceDiagrams.h"
#include "permissions/screens/art/InputDiagrams.h"

namespace rk {

namespace {
template <class Diagram>
FlowCanvas* canvas(Diagram diagram, QWidget* parent) {
    return new FlowCanvas(KTCapabilityArt::drawingOf(std::move(diagram)), parent);
}

// A catalogue entry: the diagram in the given colours, its other fields at
// their defaults.
template <class Diagram>
KTCapabilityArt::Entry plain(const char* name) {
    return {name, [](const KTArtColours& colours) { return KTCapabilityArt::drawingOf(Diagram{colours}); }};
}
}  // namespace

FlowCanvas* KTCapabilityArt::crossing(const KTArtColours& colours, bool showsPointer, QWidget* parent) {
    return canvas(CrossingDiagram{colours, showsPointer}, parent);
}
FlowCanvas* KTCapabilityArt::capture(const KTArtColours& colours, QWidget* parent) {
    return canvas(CaptureDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::files(const KTArtColours& colours, QWidget* parent) {
    return canvas(FilesDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::menuBar(const KTArtColours& colours, QWidget* parent) {
    return canvas(MenuBarDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::arranging(const KTArtColours& colours, QWidget* parent) {
    return canvas(ArrangingDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::listening(const KTArtColours& colours, QWidget* parent) {
    return canvas(ListeningDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::location(const KTArtColours& colours, QWidget* parent) {
    return canvas(LocationDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::bluetooth(const KTArtColours& colours, QWidget* parent) {
    return canvas(BluetoothDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::notifications(const KTArtColours& colours, QWidget* parent) {
    return canvas(NotificationsDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::calendar(const KTArtColours& colours, QWidget* parent) {
    return canvas(CalendarDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::camera(const KTArtColours& colours, QWidget* parent) {
    return canvas(CameraDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::typing(const KTArtColours& colours, QWidget* parent) {
    return canvas(TypingDiagram{colours}, parent);
}
FlowCanvas* KTCapabilityArt::contextMenuRow(const KTArtColours& colours, double rowLabelWidth,
                                            QWidget* parent) {
    return canvas(ContextMenuRowDiagram{colours, rowLabelWidth}, parent);
}

const QList<KTCapabilityArt::Entry>& KTCapabilityArt::catalogue() {
    static const QList<Entry> entries = {
        plain<CrossingDiagram>("crossing"),
        plain<CaptureDiagram>("capture"),
        plain<FilesDiagram>("files"),
        plain<MenuBarDiagram>("menuBar"),
        plain<ArrangingDiagram>("arranging"),
        plain<ListeningDiagram>("listening"),
        plain<LocationDiagram>("location"),
        plain<BluetoothDiagram>("bluetooth"),
        plain<NotificationsDiagram>("notifications"),
        plain<CalendarDiagram>("calendar"),
        plain<CameraDiagram>("camera"),
        plain<TypingDiagram>("typing"),
        plain<ContextMenuRowDiagram>("contextMenuRow"),
    };
    return entries;
}

}  // namespace rk
