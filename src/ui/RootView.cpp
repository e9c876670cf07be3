#include "ui/RootView.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/model/AppModel.h"
#include "platform/Appearance.h"
#include "ui/AppActions.h"
#include "ui/Controls.h"
#include "ui/DoneView.h"
#include "ui/Monogram.h"
#include "ui/Palette.h"
#include "ui/PaneView.h"
#include "ui/Rendering.h"
#include "ui/SchemeWatch.h"
#include "ui/SettingsCard.h"
#include "ui/StartView.h"
#include "ui/Symbols.h"

namespace rk {

namespace {

RootView::PageFactory& moveInFactory() {
    static RootView::PageFactory make;
    return make;
}

// The footer's band: the card colour at 60 % over the window's ground.
class FooterBand : public QWidget {
public:
    FooterBand(bool dark, QWidget* parent) : QWidget(parent), dark_(dark) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Palette::withOpacity(Palette::card(dark_), 0.6));
    }

private:
    bool dark_;
};

class GearButton : public QAbstractButton {
public:
    GearButton(bool dark, std::function<void()> action, QWidget* parent)
        : QAbstractButton(parent), colour_(Palette::dim(dark)), action_(std::move(action)) {
        setFixedSize(18, 18);
        setCursor(Qt::PointingHandCursor);
        takeTabFocus(this);
        setToolTip(QStringLiteral("Settings"));
        setAccessibleName(QStringLiteral("Settings"));
        connect(this, &QAbstractButton::clicked, this, [this] { action_(); });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (isDown()) {
            painter.setOpacity(0.6);
        }
        Symbols::paint(painter, Symbol::gear, QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), colour_);
        paintFocusRing(painter, *this, 4);
    }

private:
    QColor colour_;
    std::function<void()> action_;
};

constexpr int kArrow = 8;  // height of the popover's arrow

}  // namespace

// --- StepTab

StepTab::StepTab(bool dark, Step step, bool current, QWidget* parent)
    : QAbstractButton(parent), dark_(dark), step_(step), current_(current) {
    setButtonTitle(this, step.title());
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    takeTabFocus(this);
    setCurrent(current);
}

void StepTab::setCurrent(bool current) {
    current_ = current;
    setFont(uiFont(12, current ? QFont::DemiBold : QFont::Normal));
    updateGeometry();
    update();
}

QColor StepTab::fillColour() const {
    return current_ ? Palette::gold() : QColor(0, 0, 0, 0);
}

QColor StepTab::titleColour() const {
    return current_ ? Palette::onGold() : Palette::dim(dark_);
}

QSize StepTab::sizeHint() const {
    // Sized for the semibold title, so the row does not jump when the current tab moves.
    const QFontMetrics metrics(uiFont(12, QFont::DemiBold));
    return {metrics.horizontalAdvance(text()) + 20, metrics.height() + 10};
}

bool StepTab::hitButton(const QPoint& pos) const {
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    return capsule.contains(QPointF(pos));
}

void StepTab::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (isDown()) {
        painter.setOpacity(0.7);
    }
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    painter.fillPath(capsule, fillColour());
    painter.setPen(titleColour());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    paintFocusRing(painter, *this, height() / 2.0);
}

// --- SettingsPopover

SettingsPopover::Look SettingsPopover::lookForDesktop() {
    return Appearance::seeThroughWindows() ? Look::arrow : Look::plain;
}

SettingsPopover::SettingsPopover(AppModel& m, bool dark, QWidget* anchor, QWidget* owner, Look look)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_(m),
      dark_(dark),
      look_(look),
      anchor_(anchor),
      card_(new SettingsCard(m, dark, this)) {
    setAttribute(Qt::WA_TranslucentBackground, look == Look::arrow);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(1, 1, 1, 1 + (look == Look::arrow ? kArrow : 0));
    box->addWidget(card_);
    setFont(QApplication::font());
    connect(card_, &SettingsCard::heightChanged, this, [this] {
        if (anchor_)
            placeAbove(anchor_);
    });
}

void SettingsPopover::placeAbove(QWidget* anchor) {
    adjustSize();
    const QPoint gear = anchor->mapToGlobal(QPoint(anchor->width() / 2, 0));
    QPoint topLeft(gear.x() - width() + 28, gear.y() - height() - 2);
    // Inside the window, and inside the screen where the window reaches past it.
    const QWidget* window = anchor->window();
    QRect room(window->mapToGlobal(QPoint(0, 0)), window->size());
    if (QScreen* screen = anchor->screen()) {
        const QRect visible = room.intersected(screen->availableGeometry());
        room = visible.isEmpty() ? screen->availableGeometry() : visible;
    }
    topLeft.setX(std::clamp(topLeft.x(), room.left(), std::max(room.left(), room.right() + 1 - width())));
    topLeft.setY(std::max(topLeft.y(), room.top()));
    move(topLeft);
}

void SettingsPopover::redraw(bool dark, QWidget* anchor) {
    auto* fresh = new SettingsCard(m_, dark, this);
    // The switches are the card's own state while it is open.
    fresh->aiSwitch()->setOn(card_->aiSwitch()->isOn());
    fresh->demoSwitch()->setOn(card_->demoSwitch()->isOn());
    delete layout()->replaceWidget(card_, fresh);
    card_->hide();
    card_->deleteLater();
    card_ = fresh;
    connect(card_, &SettingsCard::heightChanged, this, [this] {
        if (anchor_)
            placeAbove(anchor_);
    });
    card_->show();
    dark_ = dark;
    anchor_ = anchor;
    placeAbove(anchor);
    update();
}

void SettingsPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (look_ == Look::plain) {
        painter.fillRect(rect(), Palette::card(dark_));
        painter.setPen(QPen(Palette::line(dark_), 1));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5 - kArrow);
    QPainterPath shape;
    shape.addRoundedRect(body, 10, 10);
    // The arrow points down at the gear.
    double tip = width() - 28;
    if (anchor_) {
        tip = mapFromGlobal(anchor_->mapToGlobal(QPoint(anchor_->width() / 2, 0))).x();
    }
    tip = std::clamp(tip, 16.0, width() - 16.0);
    QPainterPath arrow;
    arrow.moveTo(tip - kArrow, body.bottom() - 1);
    arrow.lineTo(tip, body.bottom() + kArrow);
    arrow.lineTo(tip + kArrow, body.bottom() - 1);
    arrow.closeSubpath();
    shape = shape.united(arrow);
    painter.fillPath(shape, Palette::card(dark_));
    painter.setPen(QPen(Palette::line(dark_), 1));
    painter.drawPath(shape);
}

void SettingsPopover::mousePressEvent(QMouseEvent* event) {
    // A press on the gear that closes the card must not open it again.
    if (!rect().contains(event->position().toPoint()) && anchor_ &&
        anchor_->rect().contains(anchor_->mapFromGlobal(event->globalPosition().toPoint()))) {
        setAttribute(Qt::WA_NoMouseReplay);
    }
    QWidget::mousePressEvent(event);
}

void SettingsPopover::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit closed();
}

// --- RootView

void RootView::setMoveInPageFactory(PageFactory make) {
    moveInFactory() = std::move(make);
}

RootView::Kind RootView::kindOf(Step step) {
    switch (step) {
        case Step::start:
            return Kind::start;
        case Step::accessibility:
        case Step::loginItems:
            return Kind::pane;
        case Step::moveIn:
            return Kind::moveIn;
        case Step::done:
            break;
    }
    return Kind::done;
}

QWidget* RootView::makePage(AppModel& m, Step step, bool dark, QWidget* parent) {
    switch (kindOf(step)) {
        case Kind::start:
            return new StartView(m, dark, parent);
        case Kind::pane:
            return new PaneView(m, dark, parent);
        case Kind::moveIn:
            if (moveInFactory()) {
                return moveInFactory()(m, dark, parent);
            }
            return new QWidget(parent);
        case Kind::done:
            break;
    }
    return new DoneView(m, dark, parent);
}

RootView::RootView(AppModel& m, std::optional<bool> dark, QWidget* parent)
    : QWidget(parent), m_(m), override_(dark), dark_(dark.value_or(Scheme::systemIsDark())) {
    connect(&m, &AppModel::stepChanged, this, &RootView::schedulePageSync);
    connect(&m, &AppModel::stepChanged, this, &RootView::updateTabs);
    connect(&m, &AppModel::macNameChanged, this, &RootView::updateFooter);
    connect(&m, &AppModel::macModelChanged, this, &RootView::updateFooter);
    connect(&m, &AppModel::noticeChanged, this, &RootView::updateFooter);
    new SchemeWatch([this] { followDesktop(); }, this);
    buildAll();
}

RootView::~RootView() {
    if (popover_) {
        delete popover_.data();
    }
}

void RootView::setDarkOverride(std::optional<bool> dark) {
    override_ = dark;
    const bool now = dark.value_or(Scheme::systemIsDark());
    if (now != dark_) {
        dark_ = now;
        buildAll();
    }
}

void RootView::followDesktop() {
    const bool now = Scheme::systemIsDark();
    if (!override_ && now != dark_) {
        dark_ = now;
        buildAll();
    }
}

void RootView::buildAll() {
    // A new scheme draws everything again, but what the person sees stays as
    // it was: the page's toggles carry over and an open settings card stays
    // open.
    const QPointer<ModelPage> earlier = qobject_cast<ModelPage*>(page_.data());
    const std::optional<Kind> earlierKind = pageKind_;
    // The old widgets go once their events are done.
    for (QObject* child : children()) {
        if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow()) {
            widget->hide();
            widget->deleteLater();
        }
    }
    delete layout();
    tabs_.clear();
    page_ = nullptr;
    pageKind_.reset();

    applyScheme(this, dark_);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(header());
    stack->addWidget(makeDivider(dark_, this));

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // It draws no focus ring, so Tab passes it by; the page's keys for
    // scrolling still reach it from the control that holds the focus.
    scroll_->setFocusPolicy(Qt::NoFocus);
    pageHolder_ = new QWidget;
    auto* pageStack = new QVBoxLayout(pageHolder_);
    pageStack->setContentsMargins(18, 18, 18, 18);
    pageStack->setSpacing(14);
    pageStack->addStretch(1);
    scroll_->setWidget(pageHolder_);
    applyScheme(scroll_->viewport(), dark_);
    applyScheme(pageHolder_, dark_);
    stack->addWidget(scroll_, 1);
    stack->addWidget(footer());
    syncPage();
    if (earlier && earlierKind == pageKind_) {
        if (auto* page = qobject_cast<ModelPage*>(page_.data())) {
            page->takeToggles(*earlier);
        }
    }
    if (popover_) {
        layOutNow();
        popover_->redraw(dark_, gear_);
    }
}

bool RootView::focusNextPrevChild(bool next) {
    // Tab from the gear, or Shift-Tab from the tabs, lands in the page from
    // outside its scroll area, which then scrolls only for moves within it:
    // the control and its ring could stay out of sight.
    const bool moved = QWidget::focusNextPrevChild(next);
    if (QWidget* focused = QApplication::focusWidget();
        focused && pageHolder_ && pageHolder_->isAncestorOf(focused)) {
        scroll_->ensureWidgetVisible(focused);
    }
    return moved;
}

void RootView::layOutNow() {
    if (!isVisible()) {
        return;
    }
    for (QObject* child : children()) {
        if (auto* widget = qobject_cast<QWidget*>(child);
            widget && !widget->isWindow() && !widget->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
            widget->show();
        }
    }
    layout()->activate();
}

QWidget* RootView::header() {
    auto* band = new QWidget(this);
    auto* row = new QHBoxLayout(band);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(10);
    row->addWidget(new Monogram(26, band), 0, Qt::AlignVCenter);
    row->addWidget(makeLabel(QStringLiteral("Rowkeeper"),
                             {.pixels = 16, .weight = QFont::DemiBold, .wrap = false}, band),
                   0, Qt::AlignVCenter);
    row->addStretch(1);
    auto* tabRow = new QHBoxLayout;
    tabRow->setSpacing(4);
    for (Step step : Step::allCases()) {
        auto* tab = new StepTab(dark_, step, step == m_.step(), band);
        // Always, also for the current step: the model then resets the page.
        AppModel* model = &m_;
        connect(tab, &QAbstractButton::clicked, this, [model, step] { model->go(step); });
        tabs_.append(tab);
        tabRow->addWidget(tab, 0, Qt::AlignVCenter);
    }
    row->addLayout(tabRow);
    return band;
}

QWidget* RootView::footer() {
    auto* band = new FooterBand(dark_, this);
    auto* lines = new QVBoxLayout(band);
    lines->setContentsMargins(16, 8, 16, 8);
    lines->setSpacing(6);
    noticeLabel_ = makeLabel(m_.notice(), {.pixels = 12, .selectable = true}, band);
    noticeLabel_->setVisible(!m_.notice().isEmpty());
    lines->addWidget(noticeLabel_);
    auto* row = new QHBoxLayout;
    lines->addLayout(row);
    macLabel_ = new ElidedLabel(macLine(), {.pixels = 11, .colour = Palette::dim(dark_)}, band);
    row->addWidget(macLabel_, 1);
    row->addStretch(0);
    versionLabel_ =
        makeLabel(AppActions::current().versionLine(),
                  {.pixels = 11, .colour = Palette::dim(dark_), .wrap = false, .selectable = true}, band);
    row->addWidget(versionLabel_, 0, Qt::AlignVCenter);
    gear_ = new GearButton(
        dark_, [this] { toggleSettings(); }, band);
    row->addWidget(gear_, 0, Qt::AlignVCenter);
    return band;
}

QString RootView::macLine(const QString& name, const QString& model) {
    return model.isEmpty() ? name : name + QStringLiteral(" · ") + model;
}

QString RootView::macLine() const {
    return macLine(m_.macName(), m_.macModel());
}

QString RootView::versionLine() const {
    return versionLabel_ != nullptr ? versionLabel_->text() : QString();
}

void RootView::updateFooter() {
    if (macLabel_ != nullptr) {
        macLabel_->setText(macLine());
    }
    if (noticeLabel_ != nullptr) {
        noticeLabel_->setText(m_.notice());
        noticeLabel_->setVisible(!m_.notice().isEmpty());
    }
}

QString RootView::noticeShown() const {
    return noticeLabel_ != nullptr && !noticeLabel_->isHidden() ? noticeLabel_->text() : QString();
}

void RootView::updateTabs() {
    for (StepTab* tab : tabs_) {
        tab->setCurrent(tab->step() == m_.step());
    }
}

void RootView::schedulePageSync() {
    if (syncDue_) {
        return;
    }
    syncDue_ = true;
    // Not at once: the page's own button may be what changed the step.
    QMetaObject::invokeMethod(this, &RootView::syncPage, Qt::QueuedConnection);
}

void RootView::syncPage() {
    syncDue_ = false;
    const Kind kind = kindOf(m_.step());
    if (page_ && pageKind_ == kind) {
        // Accessibility and Login Items share one page, which keeps its toggles.
        return;
    }
    auto* stack = static_cast<QVBoxLayout*>(pageHolder_->layout());
    if (page_) {
        page_->hide();
        stack->removeWidget(page_);
        page_->deleteLater();
    }
    page_ = makePage(m_, m_.step(), dark_, pageHolder_);
    pageKind_ = kind;
    stack->insertWidget(0, page_);
    page_->show();
    scroll_->verticalScrollBar()->setValue(0);
}

void RootView::refreshNow() {
    if (syncDue_) {
        syncPage();
    }
    if (auto* modelPage = qobject_cast<ModelPage*>(page_.data())) {
        modelPage->refreshNow();
    }
}

SettingsCard* RootView::settingsCard() const {
    return popover_ ? popover_->card() : nullptr;
}

void RootView::toggleSettings() {
    if (popover_) {
        popover_->close();
        return;
    }
    // A fresh card each time: its switches start from the values of this moment.
    auto* popover = new SettingsPopover(m_, dark_, gear_, this);
    popover_ = popover;
    connect(popover, &SettingsPopover::closed, this, [this, popover] {
        if (popover_ == popover) {
            popover_ = nullptr;
        }
    });
    popover->placeAbove(gear_);
    popover->show();
}

}  // namespace rk
