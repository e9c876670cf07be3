#pragma once
// The wizard's first screen: the product's mark and "Set up <name>", one
// sentence on how many permissions it needs, a card per permission with its
// state, "Get Started", "Not now" and a closing line on where to change
// them later. It keeps no state: the root view makes a new one whenever the
// grants or the scheme change, and it reports only through its two actions.
// Main thread.

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

#include "permissions/Permission.h"
#include "permissions/WizardBrand.h"

namespace rk {

class SummaryScreen : public QWidget {
    Q_OBJECT
public:
    SummaryScreen(const KTResolvedBrand& brand, const KTWizardProduct& product,
                  const QList<KTPermission>& permissions, const KTGrantMap& granted,
                  std::function<void()> start, std::function<void()> notNow, QWidget* parent = nullptr);

    static QString title(const KTWizardProduct& product);
    // The product's trimmed lead and " It ", or its name and a blank, then
    // how many permissions it needs (as a word up to nine).
    static QString subtitle(const KTWizardProduct& product, int count);
    static QString footerText(const KTWizardProduct& product);

private:
    QWidget* card(const KTResolvedBrand& brand, const KTPermission& permission, bool granted);
};

}  // namespace rk
