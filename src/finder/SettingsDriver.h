#pragma once
// The only part of the program that reads System Settings: it opens a page by
// its link, finds the window, flattens the window's Accessibility tree and
// turns the nodes of the Accessibility or Login Items page into a snapshot.
// It only reads; the one write, selecting a row, goes through AXWrite.
// Stateless: every call reads System Settings afresh through the seams it is
// given, and may run on any thread.

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

#include "finder/AXNode.h"
#include "finder/Decision.h"
#include "finder/Pane.h"
#include "platform/Accessibility.h"
#include "platform/Geometry.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"

namespace rk {

struct SettingsDriver {
    // A System Settings window as found through Accessibility.
    struct Window {
        AXElement element;
        QString title;
        Rect frame;
    };

    // "com.apple.systempreferences", the same as AXWrite::settingsBundleID().
    static QString bundleID();

    // The running System Settings (the first the workspace lists), or none.
    static std::optional<RunningApplication> app(Workspace& workspace = Workspace::current());
    // Opens the page's link and brings System Settings to the front; waits for
    // nothing. False when nothing here took the link (the caller tells the
    // person; the workspace has logged why).
    static bool open(Pane pane, Workspace& workspace = Workspace::current());

    // One attribute's raw value; none when the read fails.
    static std::optional<AXValue> attr(const AXElement& element, const QString& name,
                                       Accessibility& accessibility = Accessibility::current());
    // One attribute as text: a text; a number's decimal text; otherwise "".
    static QString str(const AXElement& element, const QString& name,
                       Accessibility& accessibility = Accessibility::current());
    // "AXPosition" and "AXSize" as a rectangle; a part that cannot be read is zero.
    static Rect frame(const AXElement& element, Accessibility& accessibility = Accessibility::current());
    // "AXChildren", or an empty list.
    static QList<AXElement> children(const AXElement& element,
                                     Accessibility& accessibility = Accessibility::current());

    // The titled window taller than 300 points showing the pane (with a pane
    // given), else the largest such window; none when there is none.
    static std::optional<Window> mainWindow(std::int32_t pid, std::optional<Pane> pane,
                                            Accessibility& accessibility = Accessibility::current());
    // The window server's number of the process's on-screen window within 3
    // points of `frame`; none when no window matches.
    static std::optional<WindowNumber> windowNumber(std::int32_t pid, const Rect& frame,
                                                    WindowList& windows = WindowList::current());

    static constexpr int defaultMaxNodes = 5000;
    static constexpr int defaultMaxDepth = 22;
    // The window's tree flattened breadth first, the sidebar recorded but not entered.
    static QList<AXNode> walk(const AXElement& window, const Rect& windowFrame,
                              int maxNodes = defaultMaxNodes, int maxDepth = defaultMaxDepth,
                              Accessibility& accessibility = Accessibility::current());

    // One reading of the page; none without Accessibility, without a running
    // System Settings or without its window. Another page showing gives a
    // snapshot with that window's title and no rows.
    static std::optional<SettingsSnapshot> snapshot(Pane pane,
                                                    Accessibility& accessibility = Accessibility::current(),
                                                    Workspace& workspace = Workspace::current(),
                                                    WindowList& windows = WindowList::current());
    // Selects a row of the snapshot just taken through AXWrite and reads the
    // selection back: true when the row is now selected.
    static bool select(const PaneRow& row, const SettingsSnapshot& snapshot,
                       Accessibility& accessibility = Accessibility::current());
    // The frame of the minus button that serves the row, or none.
    static std::optional<Rect> minus(const PaneRow& row, const SettingsSnapshot& snapshot);
};

}  // namespace rk
