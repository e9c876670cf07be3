#pragma once
// What this app declares to the permission wizard: the product, its brand
// colours and the three permissions it asks for, with their texts, System
// Settings pages and probes. Built in code; there is no file behind it.

#include <QColor>
#include <QList>

#include "permissions/Permission.h"
#include "permissions/WizardBrand.h"

namespace rk {

struct PermissionDeclaration {
    static KTWizardProduct product();
    static KTWizardBrand brand();
    // In the order of the wizard's screens: "fulldisk", "accessibility", "screen".
    static QList<KTPermission> permissions();
    // The app's letter tile, `size` points square, centred in `rect`.
    static void paintMonogram(QPainter& painter, const QRectF& rect, qreal size = 26);
};

// Declares the app to the wizard, with the identity repair keeping the
// Declares the app to the wizard, with the identity repair keeping the
// moment the app's identity changed, the wizard's screens making its window
// and the drag companion answering the wizard's calls; `writeState` says
// whether the wizard may rewrite its permission record.
void configureWizard(bool writeState);

}  // namespace rk
