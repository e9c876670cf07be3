#include "permissions/screens/PermissionScreen.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHideEvent>
#include <QScrollBar>

#include "permissions/PermissionProbes.h"
#include "permissions/PermissionWizard.h"
#include "permissions/identity/BundleTwins.h"
#include "permissions/identity/LegacyRepairStatus.h"
#include "permissions/identity/SystemSettingsRefresh.h"
#include "permissions/screens/DragCompanion.h"
#include "permissions/screens/DragGuide.h"
#include "permissions/screens/PermissionNotices.h"
#include "permissions/screens/WaitingArc.h"
#include "permissions/screens/WizardWidgets.h"
#include "platform/AppBundle.h"
#include "platform/FileViewer.h"
#include "platform/Workspace.h"

namespace rk {

namespace {
constexpr int kSide = 28;

// A stack of widgets with no margins of its own.
QVBoxLayout* column(QWidget* owner, int spacing) {
    auto* stack = new QVBoxLayout(owner);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(spacing);
    return stack;
}

}  // namespace

PermissionScreen::PermissionScreen(const KTWizardBrand& brand, bool dark, const Inputs& inputs,
                                   KTWizardEnvironment environment, std::function<void()> onSkip,
                                   std::function<void()> onContinue, QWidget* parent)
    : QWidget(parent),
      rawBrand_(brand),
      dark_(dark),
      brand_(brand, dark),
      inputs_(inputs),
      environment_(std::move(environment)),
      onSkip_(std::move(onSkip)),
      onContinue_(std::move(onContinue)) {
    QVBoxLayout* stack = column(this, 0);
    top_ = new QVBoxLayout;
    top_->setSpacing(0);
    stack->addLayout(top_);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setAutoFillBackground(false);
    // It draws no focus ring, so Tab passes it by.
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->viewport()->setAutoFillBackground(false);
    stack->addWidget(scroll_, 1);
    actionsHolder_ = new QVBoxLayout;
    actionsHolder_->setContentsMargins(kSide, 12, kSide, 24);
    stack->addLayout(actionsHolder_);

    // Every screen sees the same cleared services and System Settings restart.
    connect(&KTLegacyIdentityRepair::Status::shared(),
            &KTLegacyIdentityRepair::Status::clearedServicesChanged, this, [this] { reevaluate(); });
    connect(&KTSystemSettingsRefresh::Status::shared(), &KTSystemSettingsRefresh::Status::restartedAtChanged,
            this, [this] { reevaluate(); });
    waitTicker_.setInterval(1000);
    waitTicker_.setTimerType(Qt::PreciseTimer);
    connect(&waitTicker_, &QTimer::timeout, this, &PermissionScreen::waitTick);
    rebuildTop();
    reevaluate(true);
}

PermissionScreen::~PermissionScreen() {
    hideCompanionIfMine();
}

void PermissionScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateWaitTicker();
}

// Leaving the screen (a step away, the window closed) takes the companion
// along; a minimised window keeps it.
void PermissionScreen::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        hideCompanionIfMine();
    updateWaitTicker();
}

void PermissionScreen::setGrant(bool isGranted, bool isTickedDead) {
    if (isGranted && !inputs_.isGranted)
        hideCompanionIfMine();
    inputs_.isGranted = isGranted;
    inputs_.isTickedDead = isTickedDead;
    reevaluate();
}

void PermissionScreen::setDark(bool dark) {
    if (dark == dark_)
        return;
    dark_ = dark;
    brand_ = KTResolvedBrand(rawBrand_, dark);
    rebuildTop();
    reevaluate(true);
}

bool PermissionScreen::relaunchTried() const {
    return inputs_.forcedRelaunched || environment_.relaunchTried(inputs_.permission.id);
}

KTPermissionFacts PermissionScreen::facts() const {
    const KTPermission& permission = inputs_.permission;
    const KTWizardProduct& product = inputs_.product;
    const AppBundle& bundle = AppBundle::current();
    KTPermissionFacts facts{
        .index = inputs_.index,
        .total = inputs_.total,
        .isGranted = inputs_.isGranted,
        .isTickedDead = inputs_.isTickedDead,
        .asked = didAskState_ || inputs_.forcedDidAsk,
        .relaunchTried = relaunchTried(),
        .restarting = restarting_,
        .openFailed = openFailed_,
        .waitedSeconds = waitedSeconds_,
        .forcedLegacyNotice = inputs_.forcedLegacyNotice,
        .clearedServices = KTLegacyIdentityRepair::Status::shared().clearedServices(),
        .wouldQuitNow = KTSystemSettingsRefresh::wouldQuitNow(product),
        .settingsRestarted = KTSystemSettingsRefresh::Status::shared().restartedAt().has_value(),
        .hasDialogImage = dialogImage_.has_value(),
        .listenDenied = permission.settingsURL == KTPermissionProbes::Pane::accessibility() &&
                        environment_.listenDenied(),
        .bundleDisplayName = product.bundleDisplayName(),
        .plusLine = KTPermissionWizard::plusLine(permission, bundle.bundlePath()),
    };
    // The other names are read only where the waiting line needs them.
    if (PermissionActions::isWaiting(facts)) {
        facts.twinNames = KTBundleTwins::names(product.name);
        facts.ownNames = KTBundleTwins::listedNames(bundle.bundlePath());
    }
    return facts;
}

void PermissionScreen::primaryAction() {
    const KTPermissionFacts now = facts();
    const KTPermission& permission = inputs_.permission;
    switch (PermissionActions::press(now)) {
        case PermissionActions::Press::continueOn:
            if (onContinue_)
                onContinue_();
            return;
        case PermissionActions::Press::relaunch:
            environment_.setRelaunchTried(permission.id, true);
            environment_.relaunch(false);
            // Should the new copy not start, this one stays and shows the repair steps.
            reevaluate();
            return;
        case PermissionActions::Press::ask:
            break;
    }
    // A press while waiting asks and opens the page again.
    const bool askedBefore = didAskState_;
    didAskState_ = true;
    if (!now.listenDenied && permission.request)
        permission.request();
    const QUrl pane = now.listenDenied ? KTPermissionProbes::Pane::inputMonitoring() : permission.settingsURL;
    // The page may open only after a stale System Settings was quit, by which
    // time this screen may be gone: the follow-up holds its own copy.
    const QPointer<PermissionScreen> screen(this);
    KTSystemSettingsRefresh::open(pane, inputs_.product, [screen, permission, askedBefore](bool opened) {
        if (screen)
            screen->paneOpened(opened, askedBefore);
        if (opened)
            afterPaneOpened(permission);
    });
    reevaluate();
}

// Nothing took the link: no list opened, so there is nothing to wait for.
void PermissionScreen::paneOpened(bool opened, bool askedBefore) {
    openFailed_ = !opened;
    if (!opened)
        didAskState_ = askedBefore;
    reevaluate();
}

void PermissionScreen::afterPaneOpened(const KTPermission& permission) {
    if (!permission.requiresManualDrag)
        return;
    if (!KTDragCompanion::isDragCapable(permission)) {
        FileViewer::current().reveal(AppBundle::current().bundlePath());
        return;
    }
    if (const std::optional<KTWizardBrand>& brand = KTPermissionWizard::brand()) {
        KTDragCompanion::shared().show(KTPermissionWizard::product(), *brand, permission,
                                       KTDragCompanionMode::manualAdd);
    }
}

PermissionActions::WaitFacts PermissionScreen::waitFacts() const {
    return PermissionActions::WaitFacts{
        .waitedSeconds = waitedSeconds_,
        .forcedDidAsk = inputs_.forcedDidAsk,
        .isGranted = inputs_.isGranted,
        .isTickedDead = inputs_.isTickedDead,
        .restarting = restarting_,
        .freshInFlight = freshInFlight_,
        .canAskFreshCopy = KTPermissionWizard::freshProcessGrants && environment_.startInBackground,
        .dragCapable = KTDragCompanion::isDragCapable(inputs_.permission),
        .hasBrand = KTPermissionWizard::brand().has_value(),
    };
}

void PermissionScreen::waitTick() {
    if (!didAskState_ && !inputs_.forcedDidAsk)
        return;
    ++waitedSeconds_;
    checkFreshProcess();
    if (PermissionActions::offersCompanion(waitFacts(), KTDragCompanion::notInListDelay)) {
        KTDragCompanion::shared().show(KTPermissionWizard::product(), *KTPermissionWizard::brand(),
                                       inputs_.permission, KTDragCompanionMode::notInList);
    }
    reevaluate();
}

void PermissionScreen::checkFreshProcess() {
    if (!PermissionActions::asksFreshCopy(waitFacts()))
        return;
    // Set before the question leaves, so that no second one starts while it is out.
    freshInFlight_ = true;
    const QString id = inputs_.permission.id;
    const bool wasGranted = inputs_.isGranted;
    const std::function<std::optional<KTGrantMap>()> ask = KTPermissionWizard::freshProcessGrants;
    const QPointer<PermissionScreen> screen(this);
    const QPointer<QCoreApplication> app = QCoreApplication::instance();
    environment_.startInBackground([ask, app, screen, id, wasGranted] {
        const std::optional<KTGrantMap> answer = ask();
        if (app) {
            QMetaObject::invokeMethod(
                app, [screen, id, wasGranted, answer] { freshAnswer(screen, id, wasGranted, answer); },
                Qt::QueuedConnection);
        }
    });
}

void PermissionScreen::freshAnswer(const QPointer<PermissionScreen>& screen, const QString& id,
                                   bool wasGranted, const std::optional<KTGrantMap>& answer) {
    if (screen)
        screen->freshInFlight_ = false;
    if (!PermissionActions::freshCopyHolds(answer, id, wasGranted))
        return;
    if (screen)
        screen->setRestarting(true);
    // True only when the restart started; the app then ends shortly.
    const bool restarted = KTPermissionWizard::restartOrPresent({id}, answer, false);
    if (!restarted && screen)
        screen->setRestarting(false);
}

void PermissionScreen::setRestarting(bool restarting) {
    restarting_ = restarting;
    reevaluate();
}

void PermissionScreen::hideCompanionIfMine() {
    KTDragCompanion& companion = KTDragCompanion::shared();
    if (companion.permissionID() == inputs_.permission.id)
        companion.hide();
}

void PermissionScreen::updateWaitTicker() {
    const bool run = status_.waiting && isVisible();
    if (run && !waitTicker_.isActive())
        waitTicker_.start();
    else if (!run)
        waitTicker_.stop();
}

void PermissionScreen::openLink(const QString& link) {
    if (QUrl(link) == PermissionActions::quitAndReopenURL()) {
        // Should the new copy not start, this one stays and keeps waiting.
        environment_.relaunch(false);
        return;
    }
    Workspace::current().openURL(QUrl(link), true);
}

void PermissionScreen::reevaluate(bool force) {
    const KTPermissionFacts now = facts();
    const PermissionSections::Layout layout =
        PermissionSections::decide(inputs_.permission, inputs_.product, now);
    if (force || layout != layout_) {
        layout_ = layout;
        const int position = scroll_->verticalScrollBar()->value();
        scroll_->setWidget(content());
        // The scroll area fills what it holds; the screen's ground shows through instead.
        scroll_->widget()->setAutoFillBackground(false);
        scroll_->verticalScrollBar()->setValue(position);
    }
    const PermissionActions::Status status =
        PermissionActions::status(inputs_.permission, inputs_.product, now);
    const QString label = PermissionActions::primaryLabel(inputs_.permission, inputs_.product, now);
    const bool waiting = PermissionActions::isWaiting(now);
    if (force || status != status_ || label != primaryLabel_ || waiting != waiting_) {
        status_ = status;
        primaryLabel_ = label;
        waiting_ = waiting;
        const QPointer<QWidget> before = actions_;
        QWidget* focused = QApplication::focusWidget();
        const bool onSkip = focused != nullptr && focused == skip_;
        actions_ = actions();
        actionsHolder_->addWidget(actions_);
        actions_->show();
        // The old block may hold the button being pressed: it goes once its
        // events are done, and the keyboard stays on the same button in the
        // new one (the primary button when the skip link is gone).
        if (before)
            retireKeepingFocus(*before, focused, onSkip && skip_ ? skip_.data() : primary_.data());
    }
    updateWaitTicker();
}

void PermissionScreen::rebuildTop() {
    while (QLayoutItem* item = top_->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const KTPermission& permission = inputs_.permission;
    dialogImage_ = permission.dialogImageName
                       ? KTPermission::resolveDialogImage(*permission.dialogImageName, dark_)
                       : std::nullopt;
    auto* stepRow = new QWidget(this);
    auto* stepLayout = new QHBoxLayout(stepRow);
    stepLayout->setContentsMargins(kSide, 18, kSide, 10);
    stepLayout->addWidget(makeLabel(
        PermissionSections::stepLine(inputs_.index, inputs_.total),
        {.pixels = 11, .weight = QFont::Medium, .colour = brand_.inkMuted, .wrap = false}, stepRow));
    stepLayout->addStretch(1);
    top_->addWidget(stepRow);
    if (permission.hero) {
        if (QWidget* hero = permission.hero(dark_)) {
            auto* block = new QWidget(this);
            auto* blockLayout = new QVBoxLayout(block);
            blockLayout->setContentsMargins(kSide, 0, kSide, 10);
            hero->setParent(block);
            blockLayout->addWidget(hero);
            top_->addWidget(block);
        }
    }
}

QWidget* PermissionScreen::content() {
    auto* page = new QWidget;
    auto* stack = new QVBoxLayout(page);
    stack->setContentsMargins(kSide, 4, kSide, 0);
    stack->setSpacing(0);
    stack->addWidget(header());
    stack->addSpacing(18);
    stack->addWidget(bullets());
    stack->addSpacing(18);
    stack->addWidget(boundaryCallout());
    stack->addSpacing(18);
    if (layout_.legacyNotice) {
        stack->addWidget(PermissionNotices::legacyNotice(brand_, *layout_.legacyNotice, page));
        stack->addSpacing(12);
    }
    if (layout_.repairCallout) {
        stack->addWidget(PermissionNotices::repairCallout(
            brand_, inputs_.product.name, inputs_.permission.title, layout_.repairAfterRelaunch, page));
        stack->addSpacing(16);
    } else if (layout_.guidance) {
        stack->addWidget(guidance(*layout_.guidance));
        stack->addSpacing(16);
    }
    stack->addStretch(1);
    return page;
}

QWidget* PermissionScreen::header() {
    auto* block = new QWidget;
    QVBoxLayout* stack = column(block, 12);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(10);
    if (layout_.markInTitle)
        titleRow->addWidget(new KTMarkView(brand_.mark, 26, block), 0, Qt::AlignVCenter);
    titleRow->addWidget(
        makeLabel(inputs_.permission.title,
                  {.pixels = 23, .weight = QFont::DemiBold, .colour = brand_.ink, .wrap = false}, block),
        0, Qt::AlignVCenter);
    if (layout_.badge == PermissionSections::Badge::granted) {
        titleRow->addWidget(new KTCapsuleTag("Granted",
                                             {.fill = KTResolvedBrand::faded(brand_.accent, 0.12),
                                              .ink = brand_.accentText,
                                              .fontPixels = 11.5,
                                              .weight = QFont::DemiBold,
                                              .padX = 8,
                                              .padY = 3,
                                              .symbol = Symbol::checkmarkCircleFill},
                                             block),
                            0, Qt::AlignVCenter);
    } else if (layout_.badge == PermissionSections::Badge::optional) {
        titleRow->addWidget(new KTCapsuleTag("Optional", {.fill = brand_.tag, .ink = brand_.tagInk}, block),
                            0, Qt::AlignVCenter);
    }
    titleRow->addStretch(1);
    stack->addLayout(titleRow);
    stack->addWidget(makeLabel(inputs_.permission.benefit, {.pixels = 14, .colour = brand_.inkMuted}, block));
    return block;
}

QWidget* PermissionScreen::bullets() {
    auto* block = new QWidget;
    QVBoxLayout* stack = column(block, 9);
    for (const QString& bullet : inputs_.permission.bullets) {
        auto* row = new QHBoxLayout;
        row->setSpacing(9);
        auto* dotColumn = new QVBoxLayout;
        dotColumn->setContentsMargins(0, 6, 0, 0);
        dotColumn->addWidget(new KTDot(brand_.accentText, 5, block));
        dotColumn->addStretch(1);
        row->addLayout(dotColumn);
        row->addWidget(makeLabel(bullet, {.pixels = 13, .colour = brand_.ink}, block), 1);
        stack->addLayout(row);
    }
    return block;
}

QWidget* PermissionScreen::boundaryCallout() {
    auto* box = new KTRoundedBox({.radius = 9,
                                  .fill = KTResolvedBrand::faded(brand_.accent, 0.06),
                                  .stroke = KTResolvedBrand::faded(brand_.accentText, 0.55),
                                  .padding = 13});
    auto* text = makeLabel(inputs_.permission.boundary, {.pixels = 12.5, .colour = brand_.ink}, box);
    box->content()->addLayout(symbolRow(Symbol::handRaisedFill, 13, brand_.accentText, text, 10, 1));
    return box;
}

QWidget* PermissionScreen::guidance(const PermissionSections::Guidance& decided) {
    auto* block = new QWidget;
    block->setObjectName("guidance");
    QVBoxLayout* stack = column(block, 10);
    if (decided.restartLine) {
        auto* line = makeLabel(*decided.restartLine, {.pixels = 12, .colour = brand_.inkMuted}, block);
        stack->addLayout(symbolRow(Symbol::gearArrowsCircle, 12, brand_.accentText, line, 8));
    }
    if (decided.picture == PermissionSections::Picture::dialogImage && dialogImage_)
        stack->addWidget(new KTDialogImage(*dialogImage_, brand_.inkMuted, block), 0, Qt::AlignHCenter);
    else if (decided.picture == PermissionSections::Picture::dragGuide)
        stack->addWidget(new DragGuide(brand_, inputs_.product.name, block));
    if (decided.rowsBlock)
        stack->addWidget(rowsBlock(decided));
    return block;
}

QWidget* PermissionScreen::rowsBlock(const PermissionSections::Guidance& decided) {
    auto* block = new QWidget;
    block->setObjectName("rows");
    QVBoxLayout* stack = column(block, 4);
    stack->setContentsMargins(0, 2, 0, 0);
    const KTPermission& permission = inputs_.permission;
    if (decided.listRows) {
        stack->addWidget(makeLabel(PermissionSections::rowsHeading(permission, inputs_.product.name),
                                   {.pixels = 12, .weight = QFont::Medium, .colour = brand_.ink}, block));
        for (const QString& entry : permission.rowsToTick) {
            auto* name = makeLabel(entry, {.pixels = 12, .colour = brand_.ink, .monospaced = true}, block);
            stack->addLayout(symbolRow(Symbol::trayArrowDown, 11, brand_.inkMuted, name, 7, 0, true));
        }
    }
    if (decided.note)
        stack->addWidget(makeLabel(*decided.note, {.pixels = 11.5, .colour = brand_.inkMuted}, block));
    return block;
}

QWidget* PermissionScreen::actions() {
    auto* block = new QWidget(this);
    block->setObjectName("actions");
    QVBoxLayout* stack = column(block, 10);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(14);
    auto* primary = new KTAccentButton(
        primaryLabel_,
        {.fill = brand_.accent,
         .title = brand_.onAccent,
         .padX = 22,
         .padY = 9,
         .radius = 9,
         .minimum = {230, 36}},
        [this] { primaryAction(); }, block);
    primary->setWaiting(waiting_);
    primary->setAccessibleName(waiting_ ? "Waiting for macOS to switch on " + inputs_.permission.title +
                                              ". Press to open System Settings again."
                                        : primaryLabel_);
    buttons->addWidget(primary, 0, Qt::AlignVCenter);
    buttons->addStretch(1);
    primary_ = primary;
    skip_ = nullptr;
    if (const std::optional<QString> skip =
            PermissionActions::skipTitle(inputs_.permission, inputs_.isGranted)) {
        skip_ = makeLink(
            *skip, 12.5, brand_.inkMuted,
            [this] {
                if (onSkip_)
                    onSkip_();
            },
            block);
        buttons->addWidget(skip_, 0, Qt::AlignVCenter);
    }
    stack->addLayout(buttons);
    auto* status = makeLabel(
        status_.text, {.pixels = 12, .colour = status_.accent ? brand_.accentText : brand_.inkMuted}, block);
    if (status_.waiting) {
        // One rich line: the names in it are escaped, and its one link is caught here.
        status->setTextFormat(Qt::RichText);
        status->setText(PermissionActions::statusHtml(status_, brand_.accentText));
        // Mouse only: a label draws no focus ring for a link Tab would reach.
        status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
        status->setOpenExternalLinks(false);
        connect(status, &QLabel::linkActivated, this, &PermissionScreen::openLink);
    }
    status->setObjectName("status");
    status->setMinimumHeight(34);
    stack->addWidget(status);
    return block;
}

}  // namespace rk
