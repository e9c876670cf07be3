#pragma once
// The small spinning arc the permission screen shows while it waits for a
// grant: 70 % of a circle, 13 by 13, stroked 2 wide with round ends. It
// turns once every 0.9 s while it is shown, on a Qt timer, so it keeps
// turning while a menu is open or a drag runs. With reduced motion (asked
// of `MotionPreference` when it is made), or while the views render
// statically, it stands still. Main thread.

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace rk {

class WaitingArc : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 13;
    static constexpr int turnMilliseconds = 900;

    explicit WaitingArc(const QColor& colour, QWidget* parent = nullptr);

    bool isTurning() const { return timer_.isActive(); }
    // The rotation drawn now, in degrees clockwise; 0 at rest.
    double angle() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QColor colour_;
    bool still_;
    QElapsedTimer clock_;
    QTimer timer_;
};

}  // namespace rk
