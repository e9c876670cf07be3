#include "permissions/screens/DragCompanion.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <array>
#include <chrono>
#include <cmath>

#include "permissions/PermissionProbes.h"
#include "permissions/screens/DragCompanionCard.h"
#include "platform/AppBundle.h"
#include "platform/Appearance.h"
#include "platform/ToolOutput.h"

namespace rk {

namespace {

double secondsBetween(Clock::Time earlier, Clock::Time later) {
    return std::chrono::duration<double>(later - earlier).count();
}

// The panel's place on screen in whole pixels.
QRect pixels(const Rect& frame) {
    return QRect(int(std::lround(frame.x)), int(std::lround(frame.y)), int(std::lround(frame.width)),
                 int(std::lround(frame.height)));
}

QWidget* makePanel(const QString& title) {
    auto* panel = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Appearing must not take the focus from System Settings; a click on a
    // control in the panel still gives it the keyboard.
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    // A tool window would otherwise vanish while System Settings is the
    // active application, which it is while the person drags.
    panel->setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    panel->setAttribute(Qt::WA_TranslucentBackground, Appearance::seeThroughWindows());
    panel->setWindowTitle(title);
    panel->setAccessibleName(title);
    return panel;
}

// The self-test's placement cases: a screen, a Settings window, what must
// hold of the card and the label reported when it does not.
struct PlacementCheck {
    KTScreenRect screen;
    KTScreenRect window;
    bool (*holds)(const KTScreenRect& card, const KTScreenRect& window, const KTScreenRect& screen);
    const char* label;
};

const KTScreenRect kLaptop{0, 0, 1728, 1080};

bool onScreen(const KTScreenRect& card, const KTScreenRect&, const KTScreenRect& screen) {
    return screen.contains(card);
}

const std::array<PlacementCheck, 8> kPlacementChecks{{
    {kLaptop,
     {400, 200, 715, 640},
     [](const KTScreenRect& c, const KTScreenRect& w, const KTScreenRect& s) {
         return w.maxX() <= c.minX() && s.contains(c);
     },
     "room on the right -> right of Settings (control)"},
    {kLaptop,
     {1000, 200, 715, 640},
     [](const KTScreenRect& c, const KTScreenRect& w, const KTScreenRect& s) {
         return c.maxX() <= w.minX() && s.contains(c);
     },
     "Settings against the right edge -> left of it"},
    {kLaptop,
     {20, 400, 1690, 600},
     [](const KTScreenRect& c, const KTScreenRect& w, const KTScreenRect& s) {
         return c.maxY() <= w.minY() && s.contains(c);
     },
     "no room either side, room below -> below Settings, on screen"},
    {kLaptop,
     {20, 20, 1690, 1040},
     [](const KTScreenRect& c, const KTScreenRect& w, const KTScreenRect& s) {
         return s.contains(c) && c.maxX() <= w.minX() + KTDragCompanion::sidebarWidth + 90 &&
                c.maxX() < w.maxX() - 80;
     },
     "no room anywhere -> over the sidebar, on screen, never over the switch column"},
    {kLaptop, {400, 950, 715, 640}, onScreen, "Settings partly off the top -> card still on screen"},
    {kLaptop, {-500, 200, 715, 640}, onScreen, "Settings partly off the LEFT edge -> card still on screen"},
    {kLaptop, {1500, 200, 715, 640}, onScreen, "Settings partly off the RIGHT edge -> card still on screen"},
    {{1728, 0, 1920, 1080}, {2000, 200, 715, 640}, onScreen, "second display -> placed on THAT display"},
}};

struct PaneCheck {
    const QUrl& (*pane)();
    bool capable;
    const char* label;
};

const std::array<PaneCheck, 4> kPaneChecks{{
    {&KTPermissionProbes::Pane::accessibility, true, "Accessibility is drag-capable"},
    {&KTPermissionProbes::Pane::fullDisk, true, "Full Disk Access is drag-capable"},
    {&KTPermissionProbes::Pane::microphone, false, "Microphone is NOT drag-capable (decoy)"},
    {&KTPermissionProbes::Pane::loginItems, false, "Login Items is NOT drag-capable (decoy)"},
}};

KTPermission samplePermission(const QUrl& pane) {
    return KTPermission{
        .id = "x",
        .title = "X",
        .benefit = "b",
        .bullets = {"a", "b", "c"},
        .boundary = "boundary",
        .settingsURL = pane,
        .probe = [] { return false; },
        .rowsAreAllRequired = true,
        .restartsOnStaleGrant = true,
    };
}

}  // namespace

// --- environment

QList<RunningApplication> KTHostDragCompanionEnvironment::runningApplications(const QString& bundleID) {
    return Workspace::current().runningApplications(bundleID);
}

std::optional<QList<WindowDescription>> KTHostDragCompanionEnvironment::onScreenWindows() {
    return WindowList::current().onScreenWindows();
}

std::optional<QString> KTHostDragCompanionEnvironment::frontmostBundleID() {
    return Workspace::current().frontmostBundleID();
}

std::optional<QString> KTHostDragCompanionEnvironment::ownBundleID() {
    return AppBundle::current().bundleIdentifier();
}

QList<KTDisplay> KTHostDragCompanionEnvironment::displays() {
    QList<KTDisplay> displays;
    // Qt keeps the primary screen first.
    for (const QScreen* screen : QGuiApplication::screens())
        displays << KTDisplay{Rect::fromQRectF(screen->geometry()),
                              Rect::fromQRectF(screen->availableGeometry())};
    return displays;
}

Clock::Time KTHostDragCompanionEnvironment::now() {
    return Clock::current().now();
}

// --- companion

KTDragCompanion& KTDragCompanion::shared() {
    // Never destroyed: its panel must not outlive the application object.
    static auto* companion = new KTDragCompanion();
    return *companion;
}

void KTDragCompanion::installWizardHooks() {
    KTPermissionWizard::dragCompanion = {
        .show = [](const KTWizardProduct& product, const KTWizardBrand& brand, const KTPermission& permission,
                   Mode mode) { shared().show(product, brand, permission, mode); },
        .hide = [] { shared().hide(); },
        .selftest = [] { return selftest(); },
    };
}

KTDragCompanion::KTDragCompanion(KTDragCompanionEnvironment* environment) : environment_(environment) {
    timer_.setInterval(followIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

KTDragCompanion::~KTDragCompanion() {
    timer_.stop();
    delete panel_.data();
}

KTDragCompanionEnvironment& KTDragCompanion::environment() {
    static KTHostDragCompanionEnvironment host;
    return environment_ ? *environment_ : host;
}

bool KTDragCompanion::isDragCapable(const KTPermission& permission) {
    return KTPermissionProbes::takesDraggedApp(permission);
}

void KTDragCompanion::show(const KTWizardProduct& product, const KTWizardBrand& brand,
                           const KTPermission& permission, Mode mode) {
    if (panel_ && permissionID_ == permission.id && (mode_ == Mode::manualAdd || mode_ == mode))
        return;
    hide();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    auto* card = new KTDragCompanionCard(
        brand, {.appName = product.name, .paneName = permission.paneTitle(), .mode = mode},
        [this] { hide(); });
    card->setSeeThroughCorners(Appearance::seeThroughWindows());
    const QSize fitting = card->fittingSize();
    cardSize_ = fitting;
    QWidget* panel = makePanel("Add " + product.name + " to System Settings");
    card->setParent(panel);
    card->setGeometry(QRect(QPoint(0, 0), fitting));
    panel->resize(fitting);
    panel_ = panel;
    permissionID_ = permission.id;
    mode_ = mode;
    shownAt_ = environment().now();
    lastSeenSettings_.reset();
    tick();
    timer_.start();
}

void KTDragCompanion::hide() {
    timer_.stop();
    if (QWidget* panel = panel_) {
        panel_ = nullptr;
        panel->hide();
        // Later: the card's close button that asked for this is still running.
        panel->deleteLater();
    }
    permissionID_.reset();
    mode_.reset();
}

void KTDragCompanion::hideIfFor(const QString& id) {
    if (permissionID_ == id)
        hide();
}

void KTDragCompanion::orderOut() {
    if (panel_)
        panel_->hide();
}

void KTDragCompanion::tick() {
    if (!panel_)
        return;
    KTDragCompanionEnvironment& machine = environment();
    const Clock::Time now = machine.now();
    const QList<RunningApplication> settings = machine.runningApplications(settingsBundleID);
    if (settings.isEmpty()) {
        const double grace = lastSeenSettings_ ? graceSeen : graceUnseen;
        if (secondsBetween(lastSeenSettings_.value_or(shownAt_), now) > grace)
            hide();
        orderOut();
        return;
    }
    lastSeenSettings_ = now;
    const std::optional<QList<WindowDescription>> windows = machine.onScreenWindows();
    const std::optional<Rect> window =
        windows ? KTDragCompanionPlacement::settingsWindowFrame(*windows, settings.first().pid)
                : std::nullopt;
    if (!window)
        return orderOut();
    const std::optional<QString> front = machine.frontmostBundleID();
    if (front != QString(settingsBundleID) && front != machine.ownBundleID())
        return orderOut();
    const std::optional<Rect> frame =
        KTDragCompanionPlacement::panelFrame(*window, cardSize_, machine.displays());
    if (!frame)
        return;
    const QRect target = pixels(*frame);
    if (panel_->geometry() != target)
        panel_->setGeometry(target);
    if (!panel_->isVisible())
        panel_->show();
}

bool KTDragCompanion::selftest() {
    QStringList failures;
    for (const PlacementCheck& check : kPlacementChecks) {
        const KTScreenRect card = place(size, check.window, check.screen);
        if (!check.holds(card, check.window, check.screen))
            failures << check.label;
    }
    for (const PaneCheck& check : kPaneChecks) {
        if (isDragCapable(samplePermission(check.pane())) != check.capable)
            failures << check.label;
    }
    return reportSelftest("drag-companion",
                          "placement: right, left, below, sidebar, top/left/right edges, second display; "
                          "panes: 2 capable, 2 decoys",
                          failures);
}

}  // namespace rk
