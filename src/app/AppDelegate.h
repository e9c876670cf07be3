#pragma once
// The application's delegate: it declares the app's permissions to the
// wizard before launch ends, then builds the menus (with the updater's
// items), opens the main window with the root view, starts the scan loop,
// looks for a move to another computer, honours the launch flags and starts
// the updater. It answers links of the app's scheme, carries the three menu
// actions of the app (about, permissions, diagnostics) and tidies up when
// the app quits, the updater's install of a staged update last. It owns the
// main window and the about window.
//
// Main thread only. `main` makes one and calls the launch callbacks in order;
// tests make one over a model and stand-ins of their own.

#include <QList>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

#include "app/Dispatch.h"
#include "app/WindowPlacement.h"
#include "movein/MoveIn.h"
#include "ui/AppActions.h"

class QMainWindow;
class QMenu;
class QSettings;
class QWidget;

namespace rk {

class AppModel;
enum class MenuAction;

// The updater as the delegate drives it, at launch and at quit. Empty
// members stand for the real calls.
struct UpdaterCalls {
    // Appends "Check for Updates…" and the status line to the app's menu
    // (KTStandard::appendUpdateItems).
    std::function<void(QMenu&)> appendMenuItems{};
    // Makes the update model, so that it hears the first check
    // (KTUpdateModel::shared()).
    std::function<void()> touchModel{};
    // Gives the updater the app's key and starts it (KTUpdate::appKey, then
    // KTUpdate::start(), with the updater's message box put in place first).
    std::function<void(const QString& appKey)> start{};
    // Hands a staged update to the swap script (KTUpdate::installPendingOnQuitIfAny()).
    std::function<void()> installPendingOnQuit{};
};

// What the application delegate runs on. Empty values stand for the real ones.
struct AppDelegateSeams {
    AppModel* model = nullptr;                   // AppModel::shared()
    std::function<MoveIn::Move()> detectMove{};  // MoveIn::detectMove
    // Declares the app to the wizard and turns on its fresh-process
    // check; empty: configureWizard(true), then enableFreshProcessCheck().
    std::function<void()> configureWizard{};
    // Where the window frame is remembered; empty: QSettings()'s own.
    QString frameSettingsFile{};
    // The screens windows are placed on; empty: WindowPlacement::screens().
    std::function<std::vector<ScreenArea>()> screens{};
    UpdaterCalls updater{};
};

class AppDelegate final : public QObject, public AppActions {
    Q_OBJECT

public:
    // The main window's content, below its menu bar.
    static constexpr int windowWidth = 600;
    static constexpr int windowHeight = 820;
    static constexpr int minimumWidth = 600;
    static constexpr int minimumHeight = 560;
    // The settings key of the main window's frame.
    static QString frameKey() { return QStringLiteral("LarkspurMain"); }
    // The app's folder on the update feed.
    static QString updateAppKey() { return QStringLiteral("lark-spur"); }

    explicit AppDelegate(QStringList args, AppDelegateSeams seams = {}, QObject* parent = nullptr);
    ~AppDelegate() override;

    // ---- Launch and quit, in the order the application calls them ------------
    void applicationWillFinishLaunching();
    // The launch sequence. Gives an exit status when the process should end
    // at once instead of running (a render-and-exit flag).
    std::optional<int> applicationDidFinishLaunching();
    // Acts on the first link of the app's scheme; other links change nothing.
    void openLinks(const QList<QUrl>& links);
    // A second launch's link texts, read here as this launch read its own
    // arguments; with none, it only wanted the window in front.
    void openForwarded(const QStringList& linkTexts);
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }
    // Hides the marks overlay, writes the usage counters, remembers the
    // window's frame and, last, lets the updater install a staged update.
    // Runs once, however often it is called.
    void applicationWillTerminate();

    // ---- Menu actions --------------------------------------------------------
    void showAbout();
    void showPermissions() override;
    QString saveDiagnostics() override;
    bool openSettingsLink(const QUrl& link) override;
    QString versionLine() const override;
    void buildMainMenu();

    // ---- What it owns, for main and tests -------------------------------------
    QMainWindow* window() const { return window_.get(); }
    QWidget* about() const { return about_.get(); }
    QMenuBar* menuBar() const { return menuBar_; }
    const LaunchOptions& options() const { return options_; }
    AppModel& model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void perform(MenuAction action);
    void createWindow();
    void bringWindowForward();
    void saveFrame();
    std::unique_ptr<QSettings> frameSettings() const;
    std::vector<ScreenArea> screens() const;

    QStringList args_;
    LaunchOptions options_;
    AppDelegateSeams seams_;
    UpdaterCalls updater_;
    AppModel& model_;
    std::unique_ptr<QMainWindow> window_;
    std::unique_ptr<QWidget> about_;
    std::unique_ptr<QMenuBar> pendingMenuBar_;  // until the window takes it
    QPointer<QMenuBar> menuBar_;
    bool terminated_ = false;
};

}  // namespace rk
