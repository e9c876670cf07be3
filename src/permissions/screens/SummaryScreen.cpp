#include "permissions/screens/SummaryScreen.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "permissions/screens/BalancedWrap.h"
#include "permissions/screens/WizardSteps.h"
#include "permissions/screens/WizardWidgets.h"

namespace rk {

namespace {
constexpr int kSide = 28;

QString countWord(int count) {
    static const char* const words[] = {"zero", "one", "two",   "three", "four",
                                        "five", "six", "seven", "eight", "nine"};
    return count >= 0 && count <= 9 ? QString(words[count]) : QString::number(count);
}
}  // namespace

QString SummaryScreen::title(const KTWizardProduct& product) {
    return "Set up " + product.name;
}

QString SummaryScreen::subtitle(const KTWizardProduct& product, int count) {
    const QString tail =
        count == 1 ? QString("needs one permission from macOS. Here is what it is for.")
                   : "needs " + countWord(count) + " permissions from macOS. Here is what each one is for.";
    const QString lead = product.summaryLead.value_or(QString()).trimmed();
    if (!lead.isEmpty())
        return lead + " It " + tail;
    return product.name + " " + tail;
}

QString SummaryScreen::footerText(const KTWizardProduct& product) {
    return "You can change any of these later in System Settings, or from " +
           product.reopenHint.value_or(product.name + " Settings") + ".";
}

SummaryScreen::SummaryScreen(const KTResolvedBrand& brand, const KTWizardProduct& product,
                             const QList<KTPermission>& permissions, const KTGrantMap& granted,
                             std::function<void()> start, std::function<void()> notNow, QWidget* parent)
    : QWidget(parent) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    // The two stretches share what the window leaves over; each is at least 12.
    stack->addSpacing(12);
    stack->addStretch(1);

    auto* header = new QVBoxLayout;
    header->setSpacing(14);
    header->setContentsMargins(kSide, 0, kSide, 22);
    header->addWidget(new KTMarkView(brand.mark, 40, this), 0, Qt::AlignLeft);
    header->addWidget(
        makeLabel(title(product), {.pixels = 26, .weight = QFont::DemiBold, .colour = brand.ink}, this));
    header->addWidget(makeLabel(subtitle(product, int(permissions.size())),
                                {.pixels = 14, .colour = brand.inkMuted}, this));
    stack->addLayout(header);

    auto* cards = new QVBoxLayout;
    cards->setSpacing(10);
    cards->setContentsMargins(kSide, 0, kSide, 0);
    for (const KTPermission& permission : permissions)
        cards->addWidget(card(brand, permission, KTWizardSteps::isGranted(granted, permission.id)));
    stack->addLayout(cards);

    stack->addSpacing(28);
    auto* getStarted = new KTAccentButton(
        "Get Started", {.fill = brand.accent, .title = brand.onAccent, .padX = 22, .padY = 9, .radius = 8},
        std::move(start), this);
    stack->addWidget(getStarted, 0, Qt::AlignHCenter);
    stack->addSpacing(12);
    stack->addWidget(makeLink("Not now", 12, brand.inkMuted, std::move(notNow), this), 0, Qt::AlignHCenter);

    stack->addSpacing(12);
    stack->addStretch(1);
    auto* footer = new KTBalancedLabel(footerText(product), uiFont(11), brand.inkMuted, this);
    auto* footerBox = new QVBoxLayout;
    footerBox->setContentsMargins(kSide, 0, kSide, 16);
    footerBox->addWidget(footer);
    stack->addLayout(footerBox);
}

QWidget* SummaryScreen::card(const KTResolvedBrand& brand, const KTPermission& permission, bool granted) {
    auto* box =
        new KTRoundedBox({.radius = 10, .fill = brand.card, .stroke = brand.cardLine, .padding = 14}, this);
    box->setObjectName("card:" + permission.id);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* state = new SymbolView(granted ? Symbol::checkmarkCircleFill : Symbol::circle, 15,
                                 granted ? brand.accentText : brand.quiet, box);
    auto* stateColumn = new QVBoxLayout;
    stateColumn->setContentsMargins(0, 1, 0, 0);
    stateColumn->addWidget(state);
    stateColumn->addStretch(1);
    row->addLayout(stateColumn);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    titleRow->addWidget(makeLabel(
        permission.title, {.pixels = 14, .weight = QFont::Medium, .colour = brand.ink, .wrap = false}, box));
    if (permission.isOptional) {
        titleRow->addWidget(new KTCapsuleTag(
            "Optional", {.fill = brand.tag, .ink = brand.tagInk, .fontPixels = 10, .padX = 6, .padY = 2},
            box));
    }
    titleRow->addStretch(1);
    texts->addLayout(titleRow);
    texts->addWidget(makeLabel(permission.benefit, {.pixels = 12.5, .colour = brand.inkMuted}, box));
    row->addLayout(texts, 1);
    box->content()->addLayout(row);
    return box;
}

}  // namespace rk
