#pragma once
// The block on a permission screen for a list that does not show the app
// until the person adds it by hand: two lines saying to click + and choose
// the app or drag it in, the product's mark as a real drag source (it
// carries the running app's bundle as a file), an arrow and a dashed box
// standing for the list in System Settings. Hovering the mark lifts it a
// little (its shadow only, with reduced motion). Main thread.

#include <QString>
#include <QWidget>

#include "permissions/WizardBrand.h"

namespace rk {

class DragGuide : public QWidget {
    Q_OBJECT
public:
    DragGuide(const KTResolvedBrand& brand, const QString& appName, QWidget* parent = nullptr);

    static QString instruction(const QString& appName);
    static QString dragHint(const QString& appName);
};

}  // namespace rk
