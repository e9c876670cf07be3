#include "platform/Appearance.h"

#include <QGuiApplication>
#include <QPalette>

namespace rk::Appearance {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

bool systemIsDark() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    return isDark(QGuiApplication::palette());
}

}  // namespace rk::Appearance
