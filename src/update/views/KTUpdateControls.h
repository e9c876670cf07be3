#pragma once
// A block of update settings that a host window can embed as it is: the
// heading "Software Update", the master switch, the three automatic-update
// switches, "Check for Updates Now" and a status label. Unlike the settings
// rows it talks to the updater directly, without the update model: the
// switches show the updater's settings as of the last refresh, which runs
// when the block is made and after each of its own switches; changes made
// elsewhere show after the next one. This app does not show it.
//
// Each block wraps the updater's `onStatus` when it is made (the previous
// handler is called first), so the label shows a status message from its
// arrival until the next refresh puts the version text back. A wrapper whose
// block has gone only passes messages on; making the update model later
// replaces the hook, after which no block hears of a message.
//
// Main thread; the status wrapper may be called on any thread and always
// updates the label on the main thread's next turn.

#include <QLabel>
#include <QString>
#include <QWidget>

class QBoxLayout;

namespace rk {

class CapsuleSwitch;

class KTUpdateControls final : public QWidget {
    Q_OBJECT

public:
    KTUpdateControls(const QString& appName, bool dark, QWidget* parent = nullptr);

    QString appName() const { return appName_; }
    CapsuleSwitch* masterSwitch() const { return master_; }
    CapsuleSwitch* checkSwitch() const { return check_; }
    CapsuleSwitch* downloadSwitch() const { return download_; }
    CapsuleSwitch* installSwitch() const { return install_; }
    QString statusText() const { return status_->text(); }

    // The actions of the switches and the button.
    // Sets all three settings after the master switch.
    void masterToggled();
    // Writes all three settings, each from its own switch, in the order
    // check, download, install.
    void anyToggled();
    // An interactive check.
    void checkNow();

private:
    void build();
    void refresh();
    QBoxLayout* row(const QString& title, CapsuleSwitch* toggle);

    QString appName_;
    bool dark_;
    CapsuleSwitch* master_;
    CapsuleSwitch* check_;
    CapsuleSwitch* download_;
    CapsuleSwitch* install_;
    QLabel* status_;
};

}  // namespace rk
