#pragma once
// The permission wizard's window: "<product> Permissions", 660 by 700,
// centred on its screen when first shown, with the wizard's root view as its
// whole content and its background movable by a drag. The wizard core makes
// it through `KTPermissionWizard::makeWindow`, which `install()` sets (the
// shell calls it), keeps one at a time and brings it forward; closing it, by
// the person or by the core, runs the core's window-closed handling. Main
// thread.

#include <QWidget>

#include "permissions/PermissionWizard.h"
#include "permissions/screens/PermissionWizardView.h"

namespace rk {

class KTPermissionWizardWindow : public QWidget, public KTPermissionWizard::Window {
    Q_OBJECT
public:
    KTPermissionWizardWindow(const KTWizardProduct& product, const KTWizardBrand& brand,
                             const QList<KTPermission>& permissions);

    // Makes the wizard core build its window with this class.
    static void install();

    KTPermissionWizardView* view() const { return view_; }

    void bringForward(KTPermissionWizard::Presentation presentation) override;
    void closeWindow() override { close(); }
    QObject* object() override { return this; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void centre();
    KTPermissionWizardView* view_;
    bool placed_ = false;
};

}  // namespace rk
