#pragma once
// Whether the desktop asks for the dark colour scheme. Qt 6.4 has no
// colour-scheme query; the palette says it: a window darker than the text on
// it is a dark scheme.

class QPalette;

namespace rk::Appearance {

bool isDark(const QPalette& palette);

// The application's palette; false without a QGuiApplication.
bool systemIsDark();

}  // namespace rk::Appearance
