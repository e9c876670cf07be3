#pragma once
// How the desktop draws the app's windows: whether it asks for the dark
// colour scheme, and whether see-through parts of a window show what lies
// behind it. Qt 6.4 has no colour-scheme query; the palette says it: a
// window darker than the text on it is a dark scheme. Main thread only.

class QPalette;

namespace rk::Appearance {

bool isDark(const QPalette& palette);

// The application's palette; false without a QGuiApplication.
bool systemIsDark();

// False on an X11 desktop without a compositing manager, where the
// see-through pixels of a window come out black; true elsewhere (Wayland
// always composites, offscreen draws into images), and without a
// QGuiApplication.
bool seeThroughWindows();

}  // namespace rk::Appearance
