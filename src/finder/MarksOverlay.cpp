#include "finder/MarksOverlay.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cmath>
#include <limits>

#include "finder/MarkPainter.h"

namespace rk {

namespace {

std::optional<int> wholePixels(double value) {
    const double rounded = std::round(value);
    if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

}  // namespace

MarksView::MarksView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void MarksView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    MarkPainter::draw(painter, marks, minus, windowFrame);
}

MarksOverlay::MarksOverlay() : view_(std::make_unique<MarksView>()) {}

MarksOverlay::~MarksOverlay() = default;

Rect MarksOverlay::panelFrame(const Rect& windowFrame, double firstScreenHeight) {
    return Rect{windowFrame.x, firstScreenHeight - (windowFrame.y + windowFrame.height), windowFrame.width,
                windowFrame.height};
}

std::optional<QRect> MarksOverlay::toolkitGeometry(const Rect& panelFrame, double firstScreenHeight) {
    const auto x = wholePixels(panelFrame.x);
    const auto y = wholePixels(firstScreenHeight - (panelFrame.y + panelFrame.height));
    const auto width = wholePixels(panelFrame.width);
    const auto height = wholePixels(panelFrame.height);
    if (!x || !y || !width || !height || *width <= 0 || *height <= 0) {
        return std::nullopt;
    }
    return QRect(*x, *y, *width, *height);
}

void MarksOverlay::makePanel() {
    panel_ =
        std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                               Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                                               Qt::NoDropShadowWindowHint);
    panel_->setAttribute(Qt::WA_TranslucentBackground);
    panel_->setAttribute(Qt::WA_ShowWithoutActivating);
    // A tool window would otherwise vanish while another application is
    // active, and System Settings is the active one while the person works.
    panel_->setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    panel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    panel_->setFocusPolicy(Qt::NoFocus);
    view_->setParent(panel_.get());
    view_->show();
}

void MarksOverlay::show(const QList<Mark>& marks, const std::optional<Rect>& minus, const Rect& windowFrame) {
    const auto screens = QGuiApplication::screens();
    if (marks.isEmpty() || screens.isEmpty()) {
        hide();
        return;
    }
    const double firstScreenHeight = screens.first()->geometry().height();
    const auto geometry = toolkitGeometry(panelFrame(windowFrame, firstScreenHeight), firstScreenHeight);
    if (!geometry) {
        hide();
        return;
    }
    if (!panel_) {
        makePanel();
    }
    view_->marks = marks;
    view_->minus = minus;
    view_->windowFrame = windowFrame;
    panel_->setGeometry(*geometry);
    view_->setGeometry(0, 0, geometry->width(), geometry->height());
    view_->update();
    // A panel that stays on top comes up in front of every application's
    // windows; showing it without activating leaves the focus where it is.
    if (!panel_->isVisible()) {
        panel_->show();
    }
}

void MarksOverlay::hide() {
    if (panel_) {
        panel_->hide();
    }
}

bool MarksOverlay::isShowing() const {
    return panel_ && panel_->isVisible();
}

}  // namespace rk
