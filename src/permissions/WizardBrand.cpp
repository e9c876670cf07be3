#include "permissions/WizardBrand.h"

namespace rk {

namespace {
// A host that leaves out a colour it must give still gets readable screens.
QColor required(const KTColourFunction& colour, bool dark) {
    return colour ? colour(dark) : (dark ? QColor(Qt::white) : QColor(Qt::black));
}

std::optional<QColor> optional(const KTColourFunction& colour, bool dark) {
    if (!colour)
        return std::nullopt;
    return colour(dark);
}
}  // namespace

QColor KTResolvedBrand::faded(QColor colour, double opacity) {
    colour.setAlphaF(colour.alphaF() * float(opacity));
    return colour;
}

KTResolvedBrand::KTResolvedBrand(const KTWizardBrand& brand, bool dark)
    : accent(required(brand.accent, dark)),
      ink(required(brand.ink, dark)),
      inkMuted(required(brand.inkMuted, dark)),
      ground(optional(brand.ground, dark)),
      onAccent(required(brand.onAccent, dark)),
      accentText(required(brand.accentText, dark)),
      card(brand.panel ? brand.panel(dark) : faded(inkMuted, 0.06)),
      cardLine(optional(brand.line, dark)),
      tag(brand.panelRaised ? brand.panelRaised(dark) : faded(inkMuted, 0.14)),
      tagInk(brand.inkFaint ? brand.inkFaint(dark) : inkMuted),
      quiet(brand.inkFaint ? brand.inkFaint(dark) : faded(inkMuted, 0.5)),
      groundTop(optional(brand.groundTop, dark)) {
    KTPaintFunction paint = brand.mark;
    mark = [paint, dark](QPainter& painter, const QRectF& rect) {
        if (paint)
            paint(painter, rect, dark);
    };
}

}  // namespace rk
