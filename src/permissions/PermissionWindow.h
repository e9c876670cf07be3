#pragma once
// The wizard's window in its plain form: each configured permission with its
// title, benefit and whether it is granted (probed again every second), and a
// button that opens its System Settings page through the workspace. It opens
// centred on its screen. Closing it rewrites the permission record.

#include <QLabel>
#include <QList>
#include <QTimer>
#include <QWidget>

#include "permissions/Permission.h"
#include "permissions/WizardBrand.h"

namespace rk {

class KTPermissionWindow : public QWidget {
public:
    KTPermissionWindow(const KTWizardProduct& product, const KTWizardBrand& brand,
                       const QList<KTPermission>& permissions);

    // Probes every permission and shows the answers.
    void refresh();
    // The status line shown for a permission, for the screens' tests.
    QString statusText(const QString& id) const;

    static QString statusFor(const KTPermission& permission, bool granted);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Row {
        KTPermission permission;
        QLabel* status;
    };
    void centre();
    QWidget* permissionCard(const KTPermission& permission, const KTResolvedBrand& colours);
    QList<Row> rows_;
    QTimer ticker_;
    bool placed_ = false;
};

}  // namespace rk
