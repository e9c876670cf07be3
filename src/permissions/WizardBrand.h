#pragma once
// The host's colours for the wizard's screens, as functions of the
// appearance, and their resolution for one appearance with the wizard's own
// derivations for the colours a host leaves out.

#include <QColor>
#include <functional>
#include <optional>

#include "permissions/Permission.h"

namespace rk {

using KTColourFunction = std::function<QColor(bool dark)>;

struct KTWizardBrand {
    KTColourFunction accent{};
    KTColourFunction ink{};
    KTColourFunction inkMuted{};
    KTColourFunction ground{};  // empty: none
    KTColourFunction onAccent{};
    KTColourFunction accentText{};
    KTPaintFunction mark{};  // the product's mark
    // Empty: derived by the wizard.
    KTColourFunction panel{};
    KTColourFunction panelRaised{};
    KTColourFunction inkFaint{};
    KTColourFunction line{};
    KTColourFunction groundTop{};
};

// Draws the product's mark into a rectangle for the appearance it was resolved for.
using KTResolvedMark = std::function<void(QPainter& painter, const QRectF& rect)>;

struct KTResolvedBrand {
    QColor accent;
    QColor ink;
    QColor inkMuted;
    std::optional<QColor> ground;
    QColor onAccent;
    QColor accentText;
    KTResolvedMark mark;
    QColor card;
    std::optional<QColor> cardLine;
    QColor tag;
    QColor tagInk;
    QColor quiet;
    std::optional<QColor> groundTop;

    KTResolvedBrand(const KTWizardBrand& brand, bool dark);

    // `colour` with `opacity` applied on top of its own, as the screens tint.
    static QColor faded(QColor colour, double opacity);
};

}  // namespace rk
