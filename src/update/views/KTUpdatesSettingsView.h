#pragma once
// The section through which a person controls automatic updates: a master
// switch, the three detail switches, a notice with an install button while
// an update found by a check waits, "Check for Updates Now" beside the
// running version, and a line saying when the feed was last checked or what
// the updater is doing. It only draws the update model and hands every
// change to it; nothing is decided here.
//
// The settings card of the main window shows `rows()` under its own layout;
// a host that wants the whole section, with its heading and padding, takes
// `body()`. Main thread; the rows follow the model's changes as they come.

#include <QLabel>
#include <QString>
#include <QWidget>

namespace rk {

class CapsuleSwitch;
class KTUpdateModel;

// The rows themselves, drawn again whenever the model changes.
class KTUpdateRows final : public QWidget {
    Q_OBJECT

public:
    KTUpdateRows(KTUpdateModel& m, const QString& appName, bool dark, QWidget* parent = nullptr);

    // All four switches grey out while the updater is off
    // (KTUpdate::offReason), showing what is stored.
    // "Automatically keep <app> up to date": all three settings at once.
    CapsuleSwitch* masterSwitch() const { return master_; }
    CapsuleSwitch* checkSwitch() const { return check_; }
    // Greyed out while checking is off.
    CapsuleSwitch* downloadSwitch() const { return download_; }
    // Greyed out while checking or downloading is off.
    CapsuleSwitch* installSwitch() const { return install_; }
    // "Update to v<version> is ready." with "Install and Relaunch"; hidden
    // while no update waits.
    QWidget* readyNotice() const { return notice_; }
    // The status message, or the last-checked line (or why the updater is
    // off) before the first one.
    QString statusText() const { return status_->text(); }

private:
    void refresh();

    KTUpdateModel& m_;
    bool dark_;
    CapsuleSwitch* master_;
    CapsuleSwitch* check_;
    CapsuleSwitch* download_;
    CapsuleSwitch* install_;
    QLabel* masterLabel_;
    QLabel* checkLabel_;
    QLabel* downloadLabel_;
    QLabel* installLabel_;
    QWidget* notice_;
    QLabel* noticeText_;
    QLabel* status_;
};

class KTUpdatesSettingsView {
public:
    // Over the shared update model (made now if it was not yet).
    explicit KTUpdatesSettingsView(QString appName);
    KTUpdatesSettingsView(QString appName, KTUpdateModel& m);

    // The heading "Software Update" above the rows, padded all round.
    QWidget* body(bool dark, QWidget* parent = nullptr) const;
    KTUpdateRows* rows(bool dark, QWidget* parent = nullptr) const;

private:
    QString appName_;
    KTUpdateModel& m_;
};

}  // namespace rk
