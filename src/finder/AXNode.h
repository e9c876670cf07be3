#pragma once
// One System Settings window read through Accessibility: the flattened
// elements of its tree, and one complete reading of the window for a page.
// Plain values; copying one shares (retains) its element references.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "finder/Decision.h"
#include "platform/Accessibility.h"
#include "platform/Geometry.h"
#include "platform/WindowList.h"

namespace rk {

// One element of the window's Accessibility tree, flattened breadth first.
struct AXNode {
    AXElement ref;
    QString role;   // "AXRole"; empty when missing
    QString text;   // a non-empty "AXValue" (not for switches), else "AXTitle"; empty when missing
    QString desc;   // "AXDescription"
    QString ident;  // "AXIdentifier"
    Rect frame;     // from "AXPosition" and "AXSize"; a part that cannot be read stays zero
    // What of the window the element can be seen through: the window's frame
    // cut down by every scroll area on the way to it (itself included). When
    // nothing is left it is the null rectangle (infinite origin, zero size),
    // which contains nothing.
    Rect clip;
    bool inSidebar = false;     // the System Settings sidebar outline itself
    std::optional<int> parent;  // index of the element it was found under; none for the window
};

// One reading of the System Settings window for one page.
struct SettingsSnapshot {
    std::int32_t pid = 0;  // System Settings' process
    QString windowTitle;
    Rect windowFrame;
    std::optional<WindowNumber> windowNumber;  // none when no on-screen window matched
    // List rows first (indexes 0, 1, ... in reading order), then background
    // rows (their own indexes from 0, never selectable).
    QList<PaneRow> rows;
    QMap<int, AXElement> rowRefs;  // the row element of every selectable row, by the row's index
    QList<Rect> minusFrames;       // the page's "Remove" buttons, in tree order
    QStringList selectedTitles;    // selectable rows System Settings reports as selected
    QStringList below;             // rows on the page but not fully inside the visible area

    // Changes whenever anything the person could see as a change on the page
    // changes (title, window frame, each row's list, title and top edge) and
    // stays the same for a page at rest. Only ever compared for equality.
    QString fingerprint() const;
};

}  // namespace rk
