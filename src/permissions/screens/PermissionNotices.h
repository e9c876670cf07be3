#pragma once
// The permission screen's notices for grants left on an old copy of the app:
// the bordered note that old copies held the permission and were cleared,
// and the callout for a row that is ticked in System Settings but does not
// work for this copy, which first asks for a relaunch and, once one was
// tried, gives three repair steps. Their texts come from
// `PermissionSections`; these only draw them. Main thread.

#include <QString>
#include <QWidget>

#include "permissions/WizardBrand.h"

namespace rk {

struct PermissionNotices {
    static QWidget* legacyNotice(const KTResolvedBrand& brand, const QString& text, QWidget* parent);
    static QWidget* repairCallout(const KTResolvedBrand& brand, const QString& productName,
                                  const QString& permissionTitle, bool relaunchTried, QWidget* parent);
};

}  // namespace rk
