#include "permissions/screens/DoneScreen.h"

#include <QVBoxLayout>

#include "permissions/screens/BalancedWrap.h"
#include "permissions/screens/WizardSteps.h"
#include "permissions/screens/WizardWidgets.h"

namespace rk {

QList<KTPermission> DoneScreen::outstanding(const QList<KTPermission>& permissions,
                                            const KTGrantMap& granted) {
    QList<KTPermission> off;
    for (const KTPermission& p : permissions) {
        if (!KTWizardSteps::isGranted(granted, p.id))
            off << p;
    }
    return off;
}

QString DoneScreen::englishList(const QStringList& names) {
    if (names.size() <= 1)
        return names.value(0);
    if (names.size() == 2)
        return names[0] + " and " + names[1];
    return names.mid(0, names.size() - 1).join(", ") + ", and " + names.last();
}

QString DoneScreen::stillOffLine(const QList<KTPermission>& outstanding, const QString& productName) {
    QStringList all;
    QStringList required;
    for (const KTPermission& p : outstanding) {
        all << p.title;
        if (!p.isOptional)
            required << p.title;
    }
    if (!required.isEmpty()) {
        const QString pronoun = required.size() == 1 ? "it" : "them";
        return productName + " needs " + englishList(required) + " to work. Go back to turn " + pronoun +
               " on, or turn " + pronoun + " on any time later.";
    }
    if (outstanding.size() > 1)
        return productName + " works now. " + englishList(all) +
               " are still off. You can turn them on any time.";
    const QString cost = outstanding.value(0).costOfSkipping.value_or(QString()).trimmed();
    return productName + " works now. " + englishList(all) + " is still off. " +
           (cost.isEmpty() ? QString("You can turn it on any time.") : cost);
}

QString DoneScreen::title(const QList<KTPermission>& outstanding) {
    return outstanding.isEmpty() ? "All set." : "Ready when you are.";
}

QString DoneScreen::sentence(const QList<KTPermission>& outstanding, const QString& productName) {
    return outstanding.isEmpty() ? productName + " has everything it needs."
                                 : stillOffLine(outstanding, productName);
}

QString DoneScreen::footerText(const KTWizardProduct& product) {
    const QChar nbsp(0x00A0);
    return "Change these any time from " + product.reopenHint.value_or(product.name + " Settings") +
           ", or in System Settings" + nbsp + "›" + nbsp + "Privacy" + nbsp + "&" + nbsp + "Security.";
}

DoneScreen::DoneScreen(const KTResolvedBrand& brand, const KTWizardProduct& product,
                       const KTGrantMap& granted, const QList<KTPermission>& permissions,
                       std::function<void()> close, QWidget* parent)
    : QWidget(parent) {
    const QList<KTPermission> off = outstanding(permissions, granted);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(16);
    stack->addStretch(1);
    stack->addWidget(new KTMarkView(brand.mark, 44, this), 0, Qt::AlignHCenter);
    auto* heading = makeLabel(
        title(off), {.pixels = 24, .weight = QFont::DemiBold, .colour = brand.ink, .wrap = false}, this);
    stack->addWidget(heading, 0, Qt::AlignHCenter);
    auto* paragraphs = new QVBoxLayout;
    paragraphs->setContentsMargins(40, 0, 40, 0);
    paragraphs->setSpacing(16);
    paragraphs->addWidget(
        new KTBalancedLabel(sentence(off, product.name), uiFont(13.5), brand.inkMuted, this));
    auto* done = new KTAccentButton(
        "Done", {.fill = brand.accent, .title = brand.onAccent, .padX = 26, .padY = 9, .radius = 8},
        std::move(close), this);
    auto* doneRow = new QVBoxLayout;
    doneRow->setContentsMargins(0, 4, 0, 0);
    doneRow->addWidget(done, 0, Qt::AlignHCenter);
    paragraphs->addLayout(doneRow);
    paragraphs->addWidget(new KTBalancedLabel(footerText(product), uiFont(11), brand.inkMuted, this));
    stack->addLayout(paragraphs);
    stack->addStretch(1);
}

}  // namespace rk
