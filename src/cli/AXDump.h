#pragma once
// "--ax-dump <page> [filter]": prints the flattened Accessibility tree of the
// System Settings window that shows one page, one line per element, or only
// the elements whose texts contain the filter. It shows what the row reader
// works from: roles, texts, descriptions, identifiers, parents and frames.
// Reads only, synchronously, on the main thread; the process entry exits
// with the status `run` returns.

#include <QString>
#include <optional>

#include "finder/AXNode.h"
#include "finder/Pane.h"

namespace rk {

struct AXDump {
    static constexpr int dumpedStatus = 0;
    static constexpr int notMeasuredStatus = 3;

    // 0 when the window was dumped; 3 after the single line "NOT MEASURED"
    // when the process is not trusted, System Settings does not run or its
    // window for the page is not found.
    static int run(Pane pane, const std::optional<QString>& filter);

    // Whether the element is printed: never in the sidebar; with a filter,
    // only when role, text, description and identifier joined without
    // separators contain it (case matters).
    static bool shows(const AXNode& node, const std::optional<QString>& filter);
    // One element's line; `index` is its place in the whole walk.
    static QString line(int index, const AXNode& node);
};

}  // namespace rk
