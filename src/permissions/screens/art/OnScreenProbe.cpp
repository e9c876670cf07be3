#include "permissions/screens/art/OnScreenProbe.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace rk {

KTOnScreenProbe::KTOnScreenProbe(QWidget* view, std::function<void(bool)> report)
    : QObject(view), view_(view), report_(std::move(report)) {
    if (view)
        view->installEventFilter(this);
    follow();
}

bool KTOnScreenProbe::isOnScreen(const QWidget* view) {
    if (!view || !view->isVisible())
        return false;
    const QWidget* window = view->window();
    const QWindow* platform = window->windowHandle();
    return platform && platform->isExposed() && !window->isMinimized();
}

void KTOnScreenProbe::follow() {
    QWidget* window = view_ ? view_->window() : nullptr;
    QWindow* platform = window ? window->windowHandle() : nullptr;
    if (window != window_ || platform != platformWindow_) {
        // The view itself stays watched; only the window's watch moves.
        if (window_ && window_ != view_)
            window_->removeEventFilter(this);
        if (platformWindow_)
            platformWindow_->removeEventFilter(this);
        window_ = window;
        platformWindow_ = platform;
        if (window_ && window_ != view_)
            window_->installEventFilter(this);
        if (platformWindow_)
            platformWindow_->installEventFilter(this);
    }
    publish(isOnScreen(view_));
}

bool KTOnScreenProbe::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ParentChange:
        case QEvent::WindowStateChange:
        case QEvent::Expose:
            // The platform window exists only once its top level is first shown,
            // so every change may bring a new one to watch.
            follow();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void KTOnScreenProbe::publish(bool visible) {
    // Queued on this probe, so a probe that is gone by then drops it.
    QMetaObject::invokeMethod(
        this,
        [this, visible] {
            if (report_)
                report_(visible);
        },
        Qt::QueuedConnection);
}

}  // namespace rk
