#include "finder/Pane.h"

namespace rk {

QString rawValue(Pane pane) {
    switch (pane) {
        case Pane::accessibility:
            return QStringLiteral("accessibility");
        case Pane::loginItems:
            return QStringLiteral("loginItems");
    }
    return {};
}

std::optional<Pane> paneFromRaw(const QString& raw) {
    for (Pane pane : allPanes()) {
        if (rawValue(pane) == raw)
            return pane;
    }
    return std::nullopt;
}

const std::array<Pane, 2>& allPanes() {
    static const std::array<Pane, 2> panes{Pane::accessibility, Pane::loginItems};
    return panes;
}

QString windowTitle(Pane pane) {
    switch (pane) {
        case Pane::accessibility:
            return QStringLiteral("Accessibility");
        case Pane::loginItems:
            return QStringLiteral("Login Items & Extensions");
    }
    return {};
}

QUrl url(Pane pane) {
    switch (pane) {
        case Pane::accessibility:
            return QUrl(QStringLiteral(
                "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"));
        case Pane::loginItems:
            return QUrl(QStringLiteral("x-apple.systempreferences:com.apple.LoginItems-Settings.extension"));
    }
    return {};
}

}  // namespace rk
