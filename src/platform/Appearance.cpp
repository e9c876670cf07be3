#include "platform/Appearance.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QPalette>
#include <QRegularExpression>
#include <cstdlib>

namespace rk::Appearance {

namespace {

// The screen of an X11 display name ("host:0.1" is screen 1); 0 when none is given.
int screenNumber(const QString& display) {
    static const QRegularExpression screen(QStringLiteral(":\\d+\\.(\\d+)$"));
    const QRegularExpressionMatch match = screen.match(display);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// A compositing manager owns the selection "_NET_WM_CM_S" and the screen
// number for as long as it runs.
bool compositorRuns(xcb_connection_t* connection, int screen) {
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, quint16(name.size()), name.constData()), nullptr);
    if (atom == nullptr)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner != nullptr && owner->owner != XCB_NONE;
    std::free(owner);
    return owned;
}

}  // namespace

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

bool systemIsDark() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    return isDark(QGuiApplication::palette());
}

bool seeThroughWindows() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr || QGuiApplication::platformName() != QStringLiteral("xcb"))
        return true;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr)
        return false;
    return compositorRuns(x11->connection(), screenNumber(qEnvironmentVariable("DISPLAY")));
}

}  // namespace rk::Appearance
