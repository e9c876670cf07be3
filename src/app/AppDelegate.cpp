#include "app/AppDelegate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileOpenEvent>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QSettings>

#include "app/AboutPanel.h"
#include "app/Diagnostics.h"
#include "app/Menus.h"
#include "app/PermissionDeclaration.h"
#include "app/WindowPlacement.h"
#include "app/model/AppInfo.h"
#include "app/model/AppModel.h"
#include "app/model/LinkRouter.h"
#include "app/model/Stats.h"
#include "movein/MoveInPage.h"
#include "permissions/PermissionWizard.h"
#include "platform/Workspace.h"
#include "ui/Monogram.h"
#include "ui/RootView.h"
#include "ui/SettingsCard.h"
#include "update/KTUpdate.h"
#include "update/KTUpdateModel.h"
#include "update/UpdateCheck.h"
#include "update/UpdateInstall.h"
#include "update/views/KTUpdateMenu.h"
#include "update/views/KTUpdateMessageBox.h"
#include "update/views/KTUpdatesSettingsView.h"

namespace rk {

namespace {

// The calls not given, filled in with the updater's own.
UpdaterCalls withRealUpdater(UpdaterCalls calls) {
    if (!calls.appendMenuItems)
        calls.appendMenuItems = [](QMenu& menu) { KTStandard::appendUpdateItems(menu); };
    if (!calls.touchModel)
        calls.touchModel = [] { KTUpdateModel::shared(); };
    if (!calls.start) {
        calls.start = [](const QString& appKey) {
            KTUpdateMessageBox::install();
            KTUpdate::appKey = appKey;
            KTUpdate::start();
        };
    }
    if (!calls.installPendingOnQuit)
        calls.installPendingOnQuit = [] { KTUpdate::installPendingOnQuitIfAny(); };
    return calls;
}

// Gives a top-level window the frame asked for: its size through the
// content, the decorations known so far kept, and its corner by `move`. A
// frame it has already is left alone.
void setFrame(QWidget* window, const std::optional<QRect>& frame) {
    if (!frame || *frame == window->frameGeometry())
        return;
    window->resize(frame->size() - (window->frameGeometry().size() - window->size()));
    window->move(frame->topLeft());
}

QSize frameMinimum(const QWidget* window) {
    return window->minimumSize() + (window->frameGeometry().size() - window->size());
}

}  // namespace

AppDelegate::AppDelegate(QStringList args, AppDelegateSeams seams, QObject* parent)
    : QObject(parent),
      args_(std::move(args)),
      options_(LaunchOptions::from(args_)),
      seams_(std::move(seams)),
      updater_(withRealUpdater(seams_.updater)),
      model_(seams_.model != nullptr ? *seams_.model : AppModel::shared()) {
    AppActions::setCurrent(this);
    model_.setDefaultWindowPlacer(&WindowPlacement::besideSettingsSoon);
}

AppDelegate::~AppDelegate() {
    if (&AppActions::current() == this)
        AppActions::setCurrent(nullptr);
    // The windows' views read the model; they go before the delegate does.
    about_.reset();
    window_.reset();
}

void AppDelegate::applicationWillFinishLaunching() {
    // The letter tile names the app's windows to the desktop and on the
    // drag companion's card.
    QIcon tile;
    for (const int side : {16, 32, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        MonogramArt::paint(painter, QRectF(0, 0, side, side));
        painter.end();
        tile.addPixmap(pixmap);
    }
    QGuiApplication::setWindowIcon(tile);
    if (seams_.configureWizard) {
        seams_.configureWizard();
        return;
    }
    configureWizard(true);
    KTPermissionWizard::enableFreshProcessCheck();
}

std::optional<int> AppDelegate::applicationDidFinishLaunching() {
    // 1. Rendering the wizard's screens is a mode of its own: it ends the
    //    process before any menu or window exists.
    if (options_.windowshotDir)
        return KTPermissionWizard::runWindowshotCLI(*options_.windowshotDir);
    // 2. The menus.
    buildMainMenu();
    // 3. Demo mode is set on every launch, off unless asked for.
    model_.setDemo(options_.demo);
    // 4. The window.
    createWindow();
    // 5. The scan loop.
    model_.start();
    // 6. A move to another computer opens the Move-In page, except in demo mode.
    const MoveIn::Move move = seams_.detectMove ? seams_.detectMove() : MoveIn::detectMove();
    if (move.moved && !options_.demo) {
        model_.setMovedFrom(move.from);
        model_.go(Step::moveIn);
        Stats::record(QStringLiteral("movein.detected"));
    }
    // 7. A page asked for on the command line wins over the Move-In page.
    if (options_.openPane) {
        model_.go(*options_.openPane);
        model_.openPane();
    }
    // 8. The launch count.
    Stats::record(QStringLiteral("launch"));
    // 9. The updater: its model first, so the first check's messages reach
    //    the settings rows, then the key and the start.
    updater_.touchModel();
    updater_.start(updateAppKey());
    // Links given as arguments arrive once launch is over, as the system
    // delivers them on a Mac.
    if (!options_.links.isEmpty())
        openLinks(options_.links);
    return std::nullopt;
}

void AppDelegate::openLinks(const QList<QUrl>& links) {
    const LinkRoute route = LinkRouter::route(links);
    if (route.kind == LinkRoute::Kind::none)
        return;
    Stats::record(route.event());
    if (route.kind == LinkRoute::Kind::page && route.step)
        model_.go(*route.step);
    bringWindowForward();
}

void AppDelegate::openForwarded(const QStringList& linkTexts) {
    if (linkTexts.isEmpty()) {
        bringWindowForward();
        return;
    }
    openLinks(LinkRouter::parse(linkTexts));
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_)
        return;
    terminated_ = true;
    model_.overlay().hide();
    Stats::flush();
    saveFrame();
    updater_.installPendingOnQuit();
}

void AppDelegate::showAbout() {
    if (!about_) {
        about_ = std::make_unique<AboutView>();
        about_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        about_->setWindowTitle(QString());
        about_->setFixedSize(AboutView::width, AboutView::height);
        setFrame(about_.get(), WindowPlacement::centred(about_->frameGeometry().size(),
                                                        frameMinimum(about_.get()), screens()));
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void AppDelegate::showPermissions() {
    KTPermissionWizard::present(true);
}

// From the Help menu and from the settings card alike, the line goes where
// the window shows it whatever page is up.
QString AppDelegate::saveDiagnostics() {
    const QString line = Diagnostics::line(Diagnostics::saveAndReveal());
    model_.setNotice(line);
    return line;
}

bool AppDelegate::openSettingsLink(const QUrl& link) {
    return Workspace::current().openURL(link, true);
}

QString AppDelegate::versionLine() const {
    return AppInfo::versionLine();
}

void AppDelegate::buildMainMenu() {
    if (menuBar_)
        return;
    pendingMenuBar_ = std::make_unique<QMenuBar>();
    menuBar_ = pendingMenuBar_.get();
    Menus::build(
        *pendingMenuBar_, [this](MenuAction action) { perform(action); }, updater_.appendMenuItems);
    if (window_)
        window_->setMenuBar(pendingMenuBar_.release());
}

void AppDelegate::perform(MenuAction action) {
    switch (action) {
        case MenuAction::showAbout:
            showAbout();
            break;
        case MenuAction::showPermissions:
            showPermissions();
            break;
        case MenuAction::saveDiagnostics:
            saveDiagnostics();
            break;
        default:
            Menus::performStandard(action);
            break;
    }
}

void AppDelegate::createWindow() {
    if (window_)
        return;
    window_ = std::make_unique<QMainWindow>();
    window_->setObjectName(QStringLiteral("main"));
    window_->setWindowTitle(QStringLiteral("Rowkeeper"));
    // On a Mac the menu bar sits at the top of the screen; here it is the
    // window's, above the content. The sizes are the content's, so the
    // window is taller by the bar. The frame remembered is the whole
    // window's.
    if (pendingMenuBar_)
        window_->setMenuBar(pendingMenuBar_.release());
    const QSize bar(0, window_->menuWidget() != nullptr ? window_->menuWidget()->sizeHint().height() : 0);
    const QSize size = QSize(windowWidth, windowHeight) + bar;
    window_->setMinimumSize(QSize(minimumWidth, minimumHeight) + bar);
    window_->resize(size);
    RootView::setMoveInPageFactory(
        [](AppModel& m, bool dark, QWidget* parent) -> QWidget* { return new MoveInPage(m, dark, parent); });
    SettingsCard::setUpdatesRows([](bool dark, QWidget* parent) -> QWidget* {
        return KTUpdatesSettingsView(QStringLiteral("Rowkeeper")).rows(dark, parent);
    });
    window_->setCentralWidget(new RootView(model_));

    const std::unique_ptr<QSettings> settings = frameSettings();
    const QByteArray frame = settings->value(frameKey()).toByteArray();
    // The first frame centred and a remembered one as it was, each kept
    // inside a screen: on a small screen, or one gone since, the menu bar
    // and the footer would be out of reach. The window is made first, so
    // that its frame counts the decorations the window system knows of.
    window_->winId();
    if (frame.isEmpty() || !window_->restoreGeometry(frame)) {
        window_->resize(size);
        setFrame(window_.get(), WindowPlacement::centred(window_->frameGeometry().size(),
                                                         frameMinimum(window_.get()), screens()));
    } else if (!window_->isMaximized() && !window_->isFullScreen()) {
        setFrame(window_.get(),
                 WindowPlacement::inside(window_->frameGeometry(), frameMinimum(window_.get()), screens()));
    }
    window_->installEventFilter(this);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void AppDelegate::bringWindowForward() {
    if (!window_)
        return;
    if (window_->isMinimized())
        window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

std::vector<ScreenArea> AppDelegate::screens() const {
    return seams_.screens ? seams_.screens() : WindowPlacement::screens();
}

std::unique_ptr<QSettings> AppDelegate::frameSettings() const {
    if (seams_.frameSettingsFile.isEmpty())
        return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(seams_.frameSettingsFile, QSettings::IniFormat);
}

void AppDelegate::saveFrame() {
    if (!window_)
        return;
    const std::unique_ptr<QSettings> settings = frameSettings();
    settings->setValue(frameKey(), window_->saveGeometry());
    settings->sync();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FileOpen) {
        const QUrl link = static_cast<QFileOpenEvent*>(event)->url();
        openLinks({link});
        return LinkRouter::isOurs(link);
    }
    if (window_ && watched == window_.get() && event->type() == QEvent::Close)
        saveFrame();
    return QObject::eventFilter(watched, event);
}

}  // namespace rk
