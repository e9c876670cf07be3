#include "finder/AXNode.h"

#include <cmath>

namespace rk {

namespace {
// A point value truncated toward zero, in decimal. Written from the double so
// that no value (huge, infinite, not a number) goes through an integer
// conversion it cannot survive; -0.5 truncates to -0 and is written "0".
QString whole(double value) {
    if (!std::isfinite(value))
        return QString::number(value);
    const double truncated = std::trunc(value);
    if (truncated == 0)
        return QStringLiteral("0");
    return QString::number(truncated, 'f', 0);
}
}  // namespace

QString SettingsSnapshot::fingerprint() const {
    QStringList parts;
    parts.reserve(rows.size() + 2);
    parts << windowTitle;
    parts << QStringList{whole(windowFrame.x), whole(windowFrame.y), whole(windowFrame.width),
                         whole(windowFrame.height)}
                 .join(',');
    for (const PaneRow& row : rows) {
        parts << rawValue(row.section) + '|' + row.title + '|' + whole(row.frame.y);
    }
    return parts.join(';');
}

}  // namespace rk
