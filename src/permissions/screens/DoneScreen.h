#pragma once
// The wizard's closing screen: "All set." when every permission is on,
// otherwise "Ready when you are." with a sentence naming what is still off
// and what that costs, one "Done" button and a line on where to change the
// permissions later. It keeps no state: the root view makes a new one
// whenever the grants or the scheme change, and it reports only through
// `close`. Main thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "permissions/Permission.h"
#include "permissions/WizardBrand.h"

namespace rk {

class DoneScreen : public QWidget {
    Q_OBJECT
public:
    DoneScreen(const KTResolvedBrand& brand, const KTWizardProduct& product, const KTGrantMap& granted,
               const QList<KTPermission>& permissions, std::function<void()> close,
               QWidget* parent = nullptr);

    // The permissions, in order, that `granted` does not call granted.
    static QList<KTPermission> outstanding(const QList<KTPermission>& permissions, const KTGrantMap& granted);
    // "", "a", "a and b", "a, b, and c".
    static QString englishList(const QStringList& names);
    // What is still off: the required ones when any is required (and only
    // them), else the optional ones with the cost of skipping a single one.
    static QString stillOffLine(const QList<KTPermission>& outstanding, const QString& productName);
    static QString title(const QList<KTPermission>& outstanding);
    static QString sentence(const QList<KTPermission>& outstanding, const QString& productName);
    // Ends "System Settings › Privacy & Security." with no-break spaces
    // around "›" and "&", so the page's name stays on one line.
    static QString footerText(const KTWizardProduct& product);
};

}  // namespace rk
