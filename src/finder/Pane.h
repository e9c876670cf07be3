#pragma once
// The two System Settings pages the program opens and reads.

#include <QString>
#include <QUrl>
#include <array>
#include <optional>

namespace rk {

// Declaration order is the order of `allPanes()`.
enum class Pane {
    accessibility,  // "Accessibility"
    loginItems,     // "Login Items & Extensions"
};

// "accessibility" or "loginItems".
QString rawValue(Pane pane);
// Exactly one of the raw values; any other text (other case included) gives none.
std::optional<Pane> paneFromRaw(const QString& raw);
const std::array<Pane, 2>& allPanes();

// The exact title System Settings gives its main window while the page shows.
QString windowTitle(Pane pane);
// The link that opens the page through the workspace.
QUrl url(Pane pane);

inline size_t qHash(Pane pane, size_t seed = 0) {
    return ::qHash(static_cast<int>(pane), seed);
}

}  // namespace rk
