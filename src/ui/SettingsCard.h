#pragma once
// The small settings panel behind the footer's gear: the AI explanations and
// demo switches, the updater's rows, and the buttons that open the
// permission wizard and save the diagnostics file (with a line saying where
// the file went when its folder could not be shown, or why it was not saved).

#include <QLabel>
#include <QWidget>
#include <functional>

namespace rk {

class AppModel;
class CapsuleSwitch;

class SettingsCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 340;

    // The switches start from the stored AI answer and the model's demo flag
    // of this moment; afterwards they follow only the person's clicks.
    SettingsCard(AppModel& m, bool dark, QWidget* parent = nullptr);

    CapsuleSwitch* aiSwitch() const { return ai_; }
    CapsuleSwitch* demoSwitch() const { return demo_; }
    // The place of the updater's rows; empty until an updater fills it.
    QWidget* updatesArea() const { return updates_; }

    // Makes the updater's rows ("Rowkeeper" is the app name); installed by
    // whoever brings the updater. Without it the place stays empty.
    using UpdatesRows = std::function<QWidget*(bool dark, QWidget* parent)>;
    static void setUpdatesRows(UpdatesRows make);

    // The line under the buttons after a save whose folder could not be
    // shown (where the file went) or that failed (why). Empty (and hidden)
    // otherwise.
    QString savedLine() const;

signals:
    // The card's height changed (a line came or went).
    void heightChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool dark_;
    CapsuleSwitch* ai_;
    CapsuleSwitch* demo_;
    QWidget* updates_;
    QLabel* saved_;
};

}  // namespace rk
