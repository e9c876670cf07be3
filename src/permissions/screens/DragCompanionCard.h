#pragma once
// The drag companion's card: the app's own icon, which the person drags into
// a privacy list of System Settings, a title and one sentence saying what to
// do, a "Show in Finder" link that shows the program in the file manager,
// and a close button (Escape presses it too). The companion hosts it in its
// panel (`KTDragCompanion`); the window shots render it to image files, in
// either scheme. It decides nothing beyond its hover state: the companion
// says what it shows.
//
// 300 points wide, at least 128 tall; longer texts make it taller, never
// wider. Colours come only from the host's brand, resolved for the scheme
// each time it is drawn: the desktop's, followed as it changes, unless one
// was forced. Main thread only; the caller owns the card (a parent does).

#include <QImage>
#include <QLabel>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "permissions/PermissionWizard.h"
#include "permissions/WizardBrand.h"

namespace rk {

class KTDragCompanionIcon;
class TextButton;

class KTDragCompanionCard : public QWidget {
    Q_OBJECT
public:
    struct Content {
        QString appName;   // the product's name as shown
        QString paneName;  // the System Settings list the app goes into
        KTDragCompanionMode mode = KTDragCompanionMode::manualAdd;
    };

    // How the icon looks, by whether the pointer is over it: it grows a
    // little (unless motion is reduced) and its shadow deepens.
    struct IconLook {
        double scale = 1;
        double shadowOpacity = 0.12;
        double shadowRadius = 4;
        friend bool operator==(const IconLook&, const IconLook&) = default;
    };
    static IconLook iconLook(bool hovering, bool reduceMotion);

    // What a drag of the icon carries: the program's file URL (a
    // "text/uri-list"); nothing without a path. The caller owns it.

    static QString title(const Content& content);
    static QString sentence(const QString& appName);
    static QString iconToolTip(const QString& appName);
    static QString iconHint(const QString& appName);

    // `onClose` runs when the close button (or Escape) is pressed.
    KTDragCompanionCard(const KTWizardBrand& brand, Content content, std::function<void()> onClose,
                        QWidget* parent = nullptr);

    // Draws in this scheme from now on, whatever the desktop says.
    void forceScheme(bool dark);
    bool isDark() const { return dark_; }
    // False on a desktop that shows a window's see-through pixels black: the
    // card then fills its corners too.
    void setSeeThroughCorners(bool seeThrough);
    // 300 wide and as tall as the texts need at that width, at least 128.
    QSize fittingSize() const;
    // The icon's current hover state, for the tests.
    bool isIconHovered() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyScheme();
    KTResolvedBrand resolved() const { return KTResolvedBrand(brand_, dark_); }

    KTWizardBrand brand_;
    bool dark_;
    bool forced_ = false;
    bool seeThroughCorners_ = true;
    KTDragCompanionIcon* icon_;
    QLabel* title_;
    QLabel* sentence_;
    TextButton* reveal_;
    QWidget* close_;
};

}  // namespace rk
