#include "app/WindowPlacement.h"

#include <QApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "finder/SettingsDriver.h"

namespace rk {

namespace {

const ScreenArea* targetScreen(const QRectF& settings, const std::vector<ScreenArea>& screens) {
    for (const ScreenArea& screen : screens) {
        if (screen.frame.intersects(settings))
            return &screen;
    }
    return &screens.front();
}

std::optional<double> left(const QRectF& settings, const QRectF& visible, double width) {
    const double need = width + WindowPlacement::gap;
    if (settings.left() - visible.left() >= need)
        return settings.left() - need;
    if (visible.right() - settings.right() >= need)
        return settings.right() + WindowPlacement::gap;
    return std::nullopt;
}

// Aligned with System Settings' top, never above the visible frame, and
// raised when it would run past the visible bottom (which wins when the
// window is taller than the visible frame).
double top(const QRectF& settings, const QRectF& visible, double height) {
    return std::min(visible.bottom() - height, std::max(visible.top(), settings.top()));
}

// The whole frame inside `area`: shrunk to it down to `minimum`, then
// moved in; a frame that is larger even so starts at the area's corner.
QRect fitted(const QRect& frame, const QSize& minimum, const QRect& area) {
    const QSize size = frame.size().boundedTo(area.size()).expandedTo(minimum);
    if (size.width() > area.width() || size.height() > area.height())
        return {area.topLeft(), size};
    return {QPoint(std::clamp(frame.x(), area.x(), area.x() + area.width() - size.width()),
                   std::clamp(frame.y(), area.y(), area.y() + area.height() - size.height())),
            size};
}

qint64 overlap(const QRect& a, const QRect& b) {
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : qint64(both.width()) * both.height();
}

}  // namespace

std::optional<QRect> WindowPlacement::inside(const QRect& frame, const QSize& minimum,
                                             const std::vector<ScreenArea>& screens) {
    if (screens.empty())
        return std::nullopt;
    const ScreenArea* best = nullptr;
    qint64 most = 0;
    for (const ScreenArea& screen : screens) {
        if (const qint64 shared = overlap(frame, screen.frame.toRect()); shared > most) {
            best = &screen;
            most = shared;
        }
    }
    if (best == nullptr)
        return centred(frame.size(), minimum, screens);
    return fitted(frame, minimum, best->visible.toRect());
}

std::optional<QRect> WindowPlacement::centred(const QSize& size, const QSize& minimum,
                                              const std::vector<ScreenArea>& screens) {
    if (screens.empty())
        return std::nullopt;
    const QRect area = screens.front().visible.toRect();
    const QSize shrunk = size.boundedTo(area.size()).expandedTo(minimum);
    const QPoint corner(area.x() + (area.width() - shrunk.width()) / 2,
                        area.y() + (area.height() - shrunk.height()) / 2);
    return fitted(QRect(corner, shrunk), minimum, area);
}

std::optional<QPointF> WindowPlacement::beside(const QRectF& settings, const std::vector<ScreenArea>& screens,
                                               const QSizeF& window) {
    if (screens.empty())
        return std::nullopt;
    const QRectF visible = targetScreen(settings, screens)->visible;
    const auto x = left(settings, visible, window.width());
    if (!x)
        return std::nullopt;
    return QPointF(*x, top(settings, visible, window.height()));
}

namespace {

constexpr int kAnimationMs = 200;

QWidget* mainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("main"))
            return widget;
    }
    return nullptr;
}

}  // namespace

std::vector<ScreenArea> WindowPlacement::screens() {
    std::vector<ScreenArea> areas;
    QList<QScreen*> list = QGuiApplication::screens();
    // The primary screen is the first screen: the origin of global points.
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        list.removeAll(primary);
        list.prepend(primary);
    }
    for (const QScreen* screen : list)
        areas.push_back({screen->geometry(), screen->availableGeometry()});
    return areas;
}

void WindowPlacement::besideSettingsNow(Workspace& workspace, Accessibility& accessibility) {
    QWidget* window = mainWindow();
    if (!window)
        return;
    const auto settings = SettingsDriver::app(workspace);
    if (!settings)
        return;
    const auto settingsWindow = SettingsDriver::mainWindow(settings->pid, std::nullopt, accessibility);
    if (!settingsWindow)
        return;
    const QRect frame = window->frameGeometry();
    const auto at = beside(settingsWindow->frame.toQRectF(), screens(), frame.size());
    if (!at)
        return;
    // `pos` of a top-level window is its frame's corner, as System Settings'
    // Accessibility frame includes its title bar.
    auto* animation = new QPropertyAnimation(window, "pos", window);
    animation->setDuration(kAnimationMs);
    animation->setEndValue(at->toPoint());
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void WindowPlacement::besideSettingsSoon() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    // Looked up when the timer fires, so a seam a test installs meanwhile is used.
    QTimer::singleShot(delayMs, QCoreApplication::instance(), [] { besideSettingsNow(); });
}

}  // namespace rk
