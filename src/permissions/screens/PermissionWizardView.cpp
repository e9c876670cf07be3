#include "permissions/screens/PermissionWizardView.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

#include "permissions/PermissionWizard.h"
#include "permissions/screens/DoneScreen.h"
#include "permissions/screens/PermissionScreen.h"
#include "permissions/screens/SummaryScreen.h"
#include "permissions/screens/WizardWidgets.h"
#include "platform/Appearance.h"

namespace rk {

// The hairline above the footer row, at the footer's opacity.
class WizardHairline : public QWidget {
public:
    explicit WizardHairline(QWidget* parent) : QWidget(parent) {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void setLook(const QColor& colour, double opacity) {
        colour_ = KTResolvedBrand::faded(colour, opacity);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

private:
    QColor colour_;
};

namespace {
// The platform's separator is a faint line of the muted ink.
constexpr double kHairlineStrength = 0.35;

// The button a person goes on with on `screen`: its filled one.
QWidget* primaryButton(const QWidget* screen) {
    for (KTAccentButton* button : screen->findChildren<KTAccentButton*>())
        if (button->isVisibleTo(screen))
            return button;
    return nullptr;
}
}  // namespace

KTPermissionWizardView::KTPermissionWizardView(const KTWizardBrand& brand, const KTWizardProduct& product,
                                               const QList<KTPermission>& permissions,
                                               std::function<void()> onClose, const KTWizardForcing& forcing,
                                               const KTWizardEnvironment& environment, QWidget* parent)
    : QWidget(parent),
      brand_(brand),
      product_(product),
      permissions_(permissions),
      onClose_(std::move(onClose)),
      forcing_(forcing),
      environment_(environment),
      dark_(Appearance::systemIsDark()) {
    setMinimumSize(minWidth, minHeight);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    ticker_.setInterval(1000);
    ticker_.setTimerType(Qt::PreciseTimer);
    connect(&ticker_, &QTimer::timeout, this, &KTPermissionWizardView::refresh);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState now) {
            if (now == Qt::ApplicationActive)
                refresh();
        });
    }
    buildFooter();
    sync(true);
}

void KTPermissionWizardView::setDarkOverride(std::optional<bool> dark) {
    override_ = dark;
    schemeChanged(dark.value_or(Appearance::systemIsDark()));
}

void KTPermissionWizardView::schemeChanged(bool dark) {
    if (dark == dark_)
        return;
    dark_ = dark;
    buildFooter();
    sync();
    update();
}

void KTPermissionWizardView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (!override_ && event->type() == QEvent::ApplicationPaletteChange)
        schemeChanged(Appearance::systemIsDark());
}

void KTPermissionWizardView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (forcing_.initialStep)
        setStep(*forcing_.initialStep);
    refresh();
    ticker_.start();
}

void KTPermissionWizardView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    ticker_.stop();
}

void KTPermissionWizardView::refresh() {
    const KTRefreshState before = state_;
    const KTRefreshForcing forcing{.grants = forcing_.grants, .tickedDead = forcing_.tickedDead};
    if (KTWizardRefresh::run(permissions_, forcing, state_, environment_) ==
        KTWizardRefresh::Outcome::relaunched)
        return;
    if (state_ != before)
        sync();
}

void KTPermissionWizardView::setStep(int step) {
    if (step == step_)
        return;
    step_ = step;
    sync();
}

void KTPermissionWizardView::goBack() {
    if (footer().backAllowed)
        setStep(step_ - 1);
}

void KTPermissionWizardView::sync(bool rebuild) {
    // A press by keyboard that changes the screen leaves the focus on the
    // new screen's button, never on "Back" as the next in the Tab order.
    QWidget* focused = QApplication::focusWidget();
    const int count = int(permissions_.size());
    const bool onPermission = KTWizardSteps::screen(step_, count) == KTWizardSteps::Screen::permission;
    if (screen_ && !rebuild && screenStep_ == step_ &&
        (onPermission || (screenGranted_ == state_.granted && screenDark_ == dark_))) {
        // The permission screen keeps its state and takes the new answers.
        if (auto* permission = qobject_cast<PermissionScreen*>(screen_.data())) {
            const QString& id = permissions_[step_].id;
            permission->setDark(dark_);
            permission->setGrant(KTWizardSteps::isGranted(state_.granted, id),
                                 KTWizardSteps::isGranted(state_.tickedDead, id));
        }
    } else {
        const QPointer<QWidget> before = screen_;
        screen_ = makeScreen();
        screenStep_ = step_;
        screenGranted_ = state_.granted;
        screenDark_ = dark_;
        static_cast<QVBoxLayout*>(layout())->insertWidget(0, screen_, 1);
        screen_->show();
        // The old screen may hold the button that led here: it goes once its events are done.
        if (before)
            retireKeepingFocus(*before, focused, primaryButton(screen_));
    }
    const KTWizardSteps::Footer now = footer();
    if (focused != nullptr && focused == back_ && !now.backAllowed)
        passFocus(*back_, primaryButton(screen_));
    footerBlock_->setVisible(now.shown);
    divider_->setLook(KTResolvedBrand(brand_, dark_).inkMuted, kHairlineStrength * now.dividerOpacity);
    // Unseen, "Back" keeps its place so the row keeps its height.
    back_->setVisible(now.backAllowed);
}

QWidget* KTPermissionWizardView::makeScreen() {
    const KTResolvedBrand brand(brand_, dark_);
    const int count = int(permissions_.size());
    switch (KTWizardSteps::screen(step_, count)) {
        case KTWizardSteps::Screen::summary:
            return new SummaryScreen(
                brand, product_, permissions_, state_.granted,
                [this] { setStep(KTWizardSteps::firstOutstanding(permissions_, state_.granted)); },
                [this] {
                    KTPermissionWizard::skipOutstanding(state_.granted);
                    if (onClose_)
                        onClose_();
                },
                this);
        case KTWizardSteps::Screen::done:
            return new DoneScreen(brand, product_, state_.granted, permissions_, onClose_, this);
        case KTWizardSteps::Screen::permission:
            break;
    }
    const KTPermission& permission = permissions_[step_];
    const PermissionScreen::Inputs inputs{
        .product = product_,
        .permission = permission,
        .index = step_,
        .total = count,
        .isGranted = KTWizardSteps::isGranted(state_.granted, permission.id),
        .isTickedDead = KTWizardSteps::isGranted(state_.tickedDead, permission.id),
        .forcedDidAsk = forcing_.didAsk,
        .forcedRelaunched = forcing_.relaunched,
        .forcedLegacyNotice = forcing_.legacyNotice,
    };
    return new PermissionScreen(
        brand_, dark_, inputs, environment_,
        [this] {
            // The step current when the person skips.
            KTPermissionWizard::markSkipped(permissions_[step_].id);
            setStep(KTWizardSteps::advance(step_, int(permissions_.size())));
        },
        [this] { setStep(KTWizardSteps::advance(step_, int(permissions_.size()))); }, this);
}

void KTPermissionWizardView::buildFooter() {
    const bool visible = footerBlock_ && footerBlock_->isVisibleTo(this);
    delete footerBlock_;
    const KTResolvedBrand brand(brand_, dark_);
    footerBlock_ = new QWidget(this);
    footerBlock_->setObjectName("footer");
    auto* stack = new QVBoxLayout(footerBlock_);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    divider_ = new WizardHairline(footerBlock_);
    stack->addWidget(divider_);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(28, 14, 28, 14);
    row->setSpacing(12);
    back_ = makeLink(
        "Back", 12, brand.inkMuted, [this] { goBack(); }, footerBlock_);
    QSizePolicy keepsPlace = back_->sizePolicy();
    keepsPlace.setRetainSizeWhenHidden(true);
    back_->setSizePolicy(keepsPlace);
    row->addWidget(back_);
    row->addStretch(1);
    stack->addLayout(row);
    layout()->addWidget(footerBlock_);
    footerBlock_->setVisible(visible);
}

// The brand's ground, as a gradient from its top colour when it has one;
// without a ground the window's own background shows.
void KTPermissionWizardView::paintEvent(QPaintEvent*) {
    const KTResolvedBrand brand(brand_, dark_);
    if (!brand.ground)
        return;
    QPainter painter(this);
    if (!brand.groundTop) {
        painter.fillRect(rect(), *brand.ground);
        return;
    }
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, *brand.groundTop);
    fill.setColorAt(1, *brand.ground);
    painter.fillRect(rect(), fill);
}

}  // namespace rk
