#pragma once
// Tells a view that follows the desktop when the desktop may have switched
// between light and dark. Qt tells the application object (and each
// window) with ApplicationPaletteChange; a widget inside a window hears of
// it only when its own palette changes, which never happens to a view that
// sets every colour itself, as ours do.
//
// Main thread only. The view that makes one is its parent; the watch stops
// with it.

#include <QObject>
#include <functional>

namespace rk {

class SchemeWatch final : public QObject {
    Q_OBJECT
public:
    // `changed` runs on every change of the application's palette; the view
    // compares `Scheme::systemIsDark()` with the scheme it was drawn for.
    SchemeWatch(std::function<void()> changed, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> changed_;
};

}  // namespace rk
