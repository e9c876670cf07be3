#pragma once
// Tells a view whether the person can actually see it: the view is shown
// (with all its ancestors), its window is exposed (on screen and not fully
// covered, as far as the window system says) and not minimised. The flow
// canvas owns one and pauses its animation whenever the answer is no, so
// that diagrams in hidden or covered windows cost no processor time.
//
// The probe watches the view, its top-level window and that window's
// platform window; when the view moves to another window the watch moves
// with it, so at most one window is watched at a time. Every verdict reaches
// the owner's `report` one event-loop turn later, in the order published,
// and never while a widget is being shown or painted; a verdict still
// queued when the probe is destroyed is dropped. Main thread only. The
// probe is a child of the view and lives as long as it.

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;
class QWindow;

namespace rk {

class KTOnScreenProbe final : public QObject {
    Q_OBJECT

public:
    // `report` gets each verdict; it is the owner's binding and writes only
    // a changed value. The first verdict is published at once.
    KTOnScreenProbe(QWidget* view, std::function<void(bool visible)> report);

    // The verdict for `view` now; false without a view.
    static bool isOnScreen(const QWidget* view);

    // The top-level window being watched; none while the view is in none.
    const QWidget* observedWindow() const { return window_.data(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Moves the watch to the view's current window, then publishes the verdict.
    void follow();
    void publish(bool visible);

    QPointer<QWidget> view_;
    QPointer<QWidget> window_;
    QPointer<QWindow> platformWindow_;
    std::function<void(bool)> report_;
};

}  // namespace rk
