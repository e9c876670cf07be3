#include "ui/SchemeWatch.h"

#include <QCoreApplication>
#include <QEvent>

namespace rk {

SchemeWatch::SchemeWatch(std::function<void()> changed, QObject* parent)
    : QObject(parent), changed_(std::move(changed)) {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

bool SchemeWatch::eventFilter(QObject* watched, QEvent* event) {
    // Each window is told too; the application's own event is the one that counts.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        changed_();
    return false;
}

}  // namespace rk
