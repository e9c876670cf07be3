#include "permissions/screens/PermissionNotices.h"

#include "permissions/screens/PermissionSections.h"
#include "permissions/screens/WizardWidgets.h"

namespace rk {

namespace {
constexpr double kStrokeOpacity = 0.55;

QWidget* repairStep(const KTResolvedBrand& brand, int number, const QString& text, QWidget* parent) {
    auto* step = new QWidget(parent);
    auto* row = new QHBoxLayout(step);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(
        makeLabel(QString("%1.").arg(number),
                  {.pixels = 12.5, .weight = QFont::DemiBold, .colour = brand.accentText, .wrap = false},
                  step),
        0, Qt::AlignTop);
    row->addWidget(makeLabel(text, {.pixels = 12.5, .colour = brand.ink}, step), 1);
    return step;
}
}  // namespace

QWidget* PermissionNotices::legacyNotice(const KTResolvedBrand& brand, const QString& text, QWidget* parent) {
    auto* box = new KTRoundedBox(
        {.radius = 10, .stroke = KTResolvedBrand::faded(brand.accentText, kStrokeOpacity), .padding = 12},
        parent);
    box->setObjectName("legacyNotice");
    auto* message = makeLabel(text, {.pixels = 12.5, .colour = brand.ink}, box);
    box->content()->addLayout(symbolRow(Symbol::arrowsCircle, 13, brand.accentText, message, 8));
    return box;
}

QWidget* PermissionNotices::repairCallout(const KTResolvedBrand& brand, const QString& productName,
                                          const QString& permissionTitle, bool relaunchTried,
                                          QWidget* parent) {
    auto* box = new KTRoundedBox({.radius = 9,
                                  .fill = KTResolvedBrand::faded(brand.accent, 0.06),
                                  .stroke = KTResolvedBrand::faded(brand.accentText, kStrokeOpacity),
                                  .padding = 13},
                                 parent);
    box->setObjectName("repairCallout");
    QVBoxLayout* stack = box->content();
    stack->setSpacing(10);
    auto* title = makeLabel(PermissionSections::repairTitle(),
                            {.pixels = 13, .weight = QFont::DemiBold, .colour = brand.ink}, box);
    stack->addLayout(symbolRow(Symbol::exclamationTriangleFill, 13, brand.accentText, title, 8, 0, true));
    stack->addWidget(makeLabel(PermissionSections::repairText(relaunchTried, productName),
                               {.pixels = 12.5, .colour = brand.ink}, box));
    if (relaunchTried) {
        auto* steps = new QVBoxLayout;
        steps->setSpacing(6);
        const QStringList texts = PermissionSections::repairSteps(productName, permissionTitle);
        for (int i = 0; i < texts.size(); ++i)
            steps->addWidget(repairStep(brand, i + 1, texts[i], box));
        stack->addLayout(steps);
    }
    return box;
}

}  // namespace rk
