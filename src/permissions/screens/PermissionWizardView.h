#pragma once
// The whole content of the permission wizard's window: it owns the step the
// person is on and the latest grant answers, shows the summary, one
// permission screen per step or the done screen, and under the permission
// and done screens a footer with "Back". It re-probes every permission once
// a second while shown, when it comes on screen and when the app becomes
// active (`KTWizardRefresh`), so a grant given in System Settings shows
// without any action from the person.
//
// It never closes anything itself: ending the wizard goes through `onClose`,
// which the window's maker gives. `KTWizardForcing` fixes the step and the
// answers for rendering set states; the window leaves it empty. Each new view
// starts at the summary. Main thread.

#include <QList>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "permissions/Permission.h"
#include "permissions/WizardBrand.h"
#include "permissions/screens/WizardEnvironment.h"
#include "permissions/screens/WizardRefresh.h"
#include "permissions/screens/WizardSteps.h"

namespace rk {

class TextButton;
class WizardHairline;

struct KTWizardForcing {
    std::optional<int> initialStep{};  // shown when the view comes on screen, unclamped
    std::optional<KTGrantMap> grants{};
    bool didAsk = false;
    std::optional<QSet<QString>> tickedDead{};
    bool relaunched = false;
    bool legacyNotice = false;
};

class KTPermissionWizardView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minWidth = 620;
    static constexpr int minHeight = 560;

    KTPermissionWizardView(const KTWizardBrand& brand, const KTWizardProduct& product,
                           const QList<KTPermission>& permissions, std::function<void()> onClose,
                           const KTWizardForcing& forcing = {},
                           const KTWizardEnvironment& environment = KTWizardEnvironment::host(),
                           QWidget* parent = nullptr);

    int step() const { return step_; }
    const KTRefreshState& refreshState() const { return state_; }
    // The screen shown now (a SummaryScreen, PermissionScreen or DoneScreen).
    QWidget* screen() const { return screen_; }
    KTWizardSteps::Footer footer() const { return KTWizardSteps::footer(step_, int(permissions_.size())); }
    bool isDark() const { return dark_; }
    // Draws in the given scheme instead of the desktop's; none follows the desktop.
    void setDarkOverride(std::optional<bool> dark);

    // One refresh pass; shows what changed.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setStep(int step);
    void goBack();
    // Puts the right screen in place and updates the footer.
    void sync(bool rebuild = false);
    QWidget* makeScreen();
    void buildFooter();
    void schemeChanged(bool dark);

    KTWizardBrand brand_;
    KTWizardProduct product_;
    QList<KTPermission> permissions_;
    std::function<void()> onClose_;
    KTWizardForcing forcing_;
    KTWizardEnvironment environment_;

    int step_ = -1;
    KTRefreshState state_;
    QTimer ticker_;
    std::optional<bool> override_;
    bool dark_;

    QPointer<QWidget> screen_;
    int screenStep_ = -1;
    KTGrantMap screenGranted_;
    bool screenDark_ = false;
    QWidget* footerBlock_ = nullptr;
    WizardHairline* divider_ = nullptr;
    TextButton* back_ = nullptr;
};

}  // namespace rk
