// The delegate's launch and quit: Move-In, then "--open-pane"; demo mode; the
// window's size and frame; window shots ending the launch; the updater
// driven in its order (items after "Permissions…", the model before the start
// with the app's key, the install of a staged update last at quit); the about
// window; the links handed to the running app; and the main menu: the rules
// its table keeps, the menu bar built from it, and the actions this desktop
// performs itself.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileOpenEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>

#include "app/AboutPanel.h"
#include "app/Diagnostics.h"
#include "app/Menus.h"
#include "app/model/AppInfo.h"
#include "app/model/Fixtures.h"
#include "permissions/PermissionWizard.h"
#include "support/DelegateFakes.h"
#include "support/ModelFakes.h"
#include "support/Printers.h"
#include "support/WidgetProbe.h"
#include "ui/Palette.h"
#include "ui/RootView.h"
#include "ui/SettingsCard.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

class LaunchSequence : public ::testing::Test {
protected:
    void SetUp() override { world.model = std::make_unique<AppModel>(world.seams); }

    std::unique_ptr<AppDelegate> launch(const QStringList& rest, bool moved = false) {
        AppDelegateSeams seams = delegateSeams(world, frames.filePath("frames.ini"), &updater);
        seams.detectMove = [moved] {
            return MoveIn::Move{moved, moved ? std::optional<QString>("Old Mac") : std::nullopt};
        };
        seams.configureWizard = [this] { ++configured; };
        if (screens)
            seams.screens = [s = *screens] { return s; };
        auto delegate = std::make_unique<AppDelegate>(QStringList{"rowkeeper"} + rest, seams);
        delegate->applicationWillFinishLaunching();
        EXPECT_FALSE(delegate->applicationDidFinishLaunching());
        return delegate;
    }

    ModelWorld world;
    QTemporaryDir frames;
    FakeUpdater updater;
    int configured = 0;
    std::optional<std::vector<ScreenArea>> screens;  // none: the stand-ins' own
};

// Demo mode stays on Start; demo is switched off again when not asked for.
TEST_F(LaunchSequence, AMovedMacOpensOnMoveInUnlessDemoOrOpenPaneSaysOtherwise) {
    {
        const auto delegate = launch({"--demo"}, true);
        EXPECT_EQ(configured, 1);
        EXPECT_TRUE(world.model->demo());
        EXPECT_EQ(world.model->step(), Step(Step::start));
        EXPECT_FALSE(world.model->movedFrom());
        EXPECT_TRUE(world.model->ticking());
        EXPECT_EQ(world.counters->snapshot().value("launch"), 1);
    }
    {
        const auto delegate = launch({}, true);
        EXPECT_FALSE(world.model->demo());
        EXPECT_EQ(world.model->step(), Step(Step::moveIn));
        EXPECT_EQ(world.model->movedFrom(), QStringLiteral("Old Mac"));
        // "movein.detected" is recorded but not one of the counted names.
        EXPECT_FALSE(world.counters->snapshot().contains("movein.detected"));
    }
    const auto delegate = launch({"--open-pane", "loginItems"}, true);
    EXPECT_EQ(world.model->step(), Step(Step::loginItems));
    EXPECT_EQ(world.settings.openedLinks(), QList<QUrl>{url(Pane::loginItems)});
}

TEST_F(LaunchSequence, WindowShotsEndTheLaunchBeforeMenusAndWindow) {
    KTPermissionWizard::resetForTesting();  // not configured: status 2, nothing drawn
    AppDelegate delegate({"rowkeeper", "--permission-windowshot", frames.filePath("shots")},
                         delegateSeams(world, frames.filePath("frames.ini")));
    delegate.applicationWillFinishLaunching();
    EXPECT_EQ(delegate.applicationDidFinishLaunching(), 2);
    EXPECT_EQ(delegate.window(), nullptr);
    EXPECT_FALSE(world.model->ticking());
}

TEST_F(LaunchSequence, TheWindowHasItsSizeMenusAndRemembersItsFrame) {
    {
        const auto delegate = launch({});
        QMainWindow* window = delegate->window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), QStringLiteral("main"));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Rowkeeper"));
        // The sizes are the content's; the menu bar comes on top of them.
        QCoreApplication::processEvents();
        const QSize bar = window->size() - window->centralWidget()->size();
        EXPECT_EQ(window->centralWidget()->size(), QSize(600, 820));
        EXPECT_EQ(window->minimumSize() - bar, QSize(600, 560));
        window->move(40, 30);
        window->resize(640, 700);
        window->close();
    }
    const auto again = launch({});
    EXPECT_EQ(again->window()->size(), QSize(640, 700));
    EXPECT_EQ(again->window()->pos(), QPoint(40, 30));
}

// On a 1280 x 800 screen the first window, and one remembered at its full
// height on a larger screen, open whole inside it.
TEST_F(LaunchSequence, TheWindowOpensWholeInsideASmallScreen) {
    {
        const auto delegate = launch({});
        delegate->window()->move(340, 20);
        delegate->window()->close();
    }
    screens = {{QRectF(0, 0, 1280, 800), QRectF(0, 0, 1280, 800)}};
    for (const bool remembered : {true, false}) {
        if (!remembered) {
            ASSERT_TRUE(QFile::remove(frames.filePath("frames.ini")));
        }
        const auto delegate = launch({});
        const QRect frame = delegate->window()->frameGeometry();
        EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(frame)) << remembered;
        EXPECT_EQ(frame.height(), 800) << remembered;  // as tall as the screen
        delegate->window()->close();
    }
}

// The marks are up over a System Settings window when the app quits; the
// counters are written before the updater installs, once however often.
TEST_F(LaunchSequence, QuitHidesTheOverlayWritesTheCountersAndInstallsLast) {
    updater.onCall = [&](const QString& call) {
        if (call == "start lark-spur") {
            EXPECT_EQ(world.counters->snapshot().value("launch"), 1);  // the launch is counted first
        }
        if (call == "install on quit") {
            EXPECT_FALSE(world.model->overlay().isShowing());
            EXPECT_GE(world.counters->writes(), 1);
            EXPECT_TRUE(QFile::exists(frames.filePath("frames.ini")));
        }
    };
    const auto delegate = launch({});
    EXPECT_EQ(updater.calls, (QStringList{"menu items after Permissions…", "model", "start lark-spur"}));
    const PaneRow row = Fixtures::rows(Step::accessibility).first();
    world.model->overlay().show({Mark{Mark::Kind::remove, row, "Remove this"}}, std::nullopt,
                                Fixtures::photoWindow);
    ASSERT_TRUE(world.model->overlay().isShowing());

    const int before = world.counters->writes();
    delegate->applicationWillTerminate();
    delegate->applicationWillTerminate();
    EXPECT_FALSE(world.model->overlay().isShowing());
    EXPECT_EQ(world.counters->writes(), before + 1);
    EXPECT_EQ(updater.calls.last(), "install on quit");
    EXPECT_EQ(updater.calls.count("install on quit"), 1);
}

// The about window's texts, the same in either scheme, each with room for
// the whole of it, on one line or wrapped.
void expectWholeTexts(const QWidget& view) {
    QStringList texts;
    for (const QLabel* label : view.findChildren<QLabel*>()) {
        texts << label->text();
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed =
            label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 10000), flags, label->text());
        EXPECT_TRUE(room.contains(needed.translated(room.topLeft() - needed.topLeft())))
            << label->text().toStdString();
    }
    EXPECT_EQ(texts, (QStringList{"Rowkeeper", AppInfo::versionLine(),
                                  "Points at the leftovers in your privacy and startup lists. You make "
                                  "every change.",
                                  "Quillory Studios"}));
}

// Chosen from the menu bar, then again; every text whole, in the desktop's
// scheme before and after a switch between light and dark.
TEST_F(LaunchSequence, AboutWindowMadeOnceShownAgainWhereItWasLeftWithEveryTextWhole) {
    const auto delegate = launch({});
    EXPECT_EQ(delegate->about(), nullptr);
    Menus::find(*delegate->menuBar(), "Rowkeeper", "About Rowkeeper")->trigger();
    QWidget* first = delegate->about();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->size(), QSize(360, 250));
    EXPECT_EQ(first->minimumSize(), first->maximumSize());
    first->move(12, 34);
    first->close();
    delegate->showAbout();
    EXPECT_EQ(delegate->about(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->pos(), QPoint(12, 34));

    QCoreApplication::processEvents();
    expectWholeTexts(*first);
    EXPECT_EQ(first->palette().color(QPalette::Window), Palette::ground(false));
    EXPECT_TRUE(first->findChildren<QLabel*>()[1]->textInteractionFlags() & Qt::TextSelectableByMouse);
    const AboutView darkView(true, nullptr);  // made for a scheme, it keeps that one
    EXPECT_EQ(darkView.palette().color(QPalette::Window), Palette::ground(true));
    EXPECT_EQ(darkView.findChildren<QLabel*>().size(), 4);
    // A build that names nothing is "dev", number 0.
    EXPECT_EQ(AppInfo::versionLine(" ", ""), QStringLiteral("Version dev (0)"));
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, Palette::ground(true));
    dark.setColor(QPalette::WindowText, Palette::ink(true));
    QApplication::setPalette(dark);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_EQ(first->palette().color(QPalette::Window), Palette::ground(true));
    EXPECT_TRUE(qobject_cast<RootView*>(delegate->window()->centralWidget())->dark());
    expectWholeTexts(*first);
    QApplication::setPalette(light);
}

// A computer whose file manager shows no file.
class NoFileManager final : public DiagnosticsHost {
public:
    QString osVersion() const override { return "Debian"; }
    QString hardwareModel() const override { return "unknown"; }
    int cores() const override { return 1; }
    quint64 memoryBytes() const override { return 0; }
    bool reveal(const QString&) override { return false; }
};

// From the Help menu as from the settings card, the window says whatever
// page is up where the file went when its folder could not be shown, and why
// nothing was saved when the save failed; until the person goes to a page.
TEST_F(LaunchSequence, SavingDiagnosticsSaysInTheWindowWhereTheFileWentOrWhyNot) {
    NoFileManager host;
    test::ScopedCurrent<DiagnosticsHost> noFileManager(&host);
    const auto delegate = launch({});
    auto* root = qobject_cast<RootView*>(delegate->window()->centralWidget());
    const QString desktop = world.root.disk(world.root.paths().desktop());
    const auto saveFromMenu = [&] {
        Menus::find(*delegate->menuBar(), "Help", "Save Diagnostics…")->trigger();
        return root->noticeShown();
    };
    const auto saveFromCard = [&] {
        if (!root->settingsCard())
            root->toggleSettings();
        test::press(root->settingsCard(), "Save Diagnostics…");
        EXPECT_EQ(root->settingsCard()->savedLine(), root->noticeShown());
        return root->noticeShown();
    };
    for (const auto& [road, save] : {std::pair{"menu", std::function<QString()>(saveFromMenu)},
                                     std::pair{"card", std::function<QString()>(saveFromCard)}}) {
        world.model->go(Step::loginItems);
        QDir(desktop).removeRecursively();
        const QString saved = save();
        const QStringList files = QDir(desktop).entryList(QDir::Files);
        ASSERT_EQ(files.size(), 1) << road;
        EXPECT_EQ(saved, "Saved to " + desktop + "/" + files.first() +
                             ". Its folder could not be shown on this computer.")
            << road;
        QDir(desktop).removeRecursively();
        world.root.writeFile(world.root.paths().desktop(), "a file where the folder should be");
        EXPECT_EQ(save(), "The diagnostics file could not be saved in " + desktop + ": not a directory.")
            << road;
        QFile::remove(desktop);
        world.model->go(Step::start);
        EXPECT_EQ(root->noticeShown(), "") << road;
    }
}

TEST_F(LaunchSequence, OtherSchemesDoNothingFileOpenEventsAndForwardedLinksAreRead) {
    const auto delegate = launch({});
    delegate->window()->showMinimized();
    delegate->openLinks({QUrl("https://example.com/accessibility")});
    EXPECT_EQ(world.model->step(), Step(Step::start));
    EXPECT_TRUE(delegate->window()->isMinimized());
    EXPECT_TRUE(world.counters->snapshot().keys().filter("link.").isEmpty());

    QFileOpenEvent event(QUrl(QStringLiteral("rowkeeper://accessibility")));
    QCoreApplication::sendEvent(QCoreApplication::instance(), &event);  // not filtered yet
    EXPECT_EQ(world.model->step(), Step(Step::start));
    QCoreApplication::instance()->installEventFilter(delegate.get());
    QCoreApplication::sendEvent(QCoreApplication::instance(), &event);
    QCoreApplication::instance()->removeEventFilter(delegate.get());
    EXPECT_EQ(world.model->step(), Step(Step::accessibility));

    // A forwarded page link switches page, an unknown word only counts, no
    // link at all changes nothing; each brings the window back.
    const std::tuple<QStringList, Step::Value, const char*> forwarded[] = {
        {{"rowkeeper://login items"}, Step::accessibility, "link.unknown"},
        {{"ROWKEEPER://LoginItems/"}, Step::loginItems, "link.loginItems"},
        {{}, Step::loginItems, nullptr},
    };
    for (const auto& [texts, step, event] : forwarded) {
        delegate->window()->showMinimized();
        delegate->openForwarded(texts);
        EXPECT_EQ(world.model->step(), Step(step)) << texts.join(' ').toStdString();
        EXPECT_EQ(event ? world.counters->snapshot().value(event) : 1, 1) << event;
        EXPECT_FALSE(delegate->window()->isMinimized());
    }
}

// The delegate answers its own items (plain selectors), whatever has the
// focus answers the rest (selectors ending ':'); only the three items the
// Mac places itself carry a role; every key is a distinct command key; the
// updater's items follow "Permissions…".
TEST(MenuTable, TargetsRolesAndKeysFollowTheirRules) {
    QStringList menus, delegateItems, roleItems;
    QList<QKeySequence> keys;
    for (const MenuDef& menu : Menus::table()) {
        menus << menu.title;
        QString before;
        for (const MenuItemDef& item : menu.items) {
            if (item.updaterItems) {
                EXPECT_EQ(before, "Permissions…");
            }
            before = item.title;
            if (!item.action)
                continue;
            const bool delegate = item.target == MenuTarget::delegate;
            EXPECT_NE(Menus::selector(*item.action).endsWith(':'), delegate) << item.title.toStdString();
            if (delegate)
                delegateItems << item.title;
            if (item.role != QAction::NoRole)
                roleItems << item.title;
            if (item.key.isEmpty())
                continue;
            EXPECT_TRUE(item.key[0].keyboardModifiers() & Qt::ControlModifier) << item.title.toStdString();
            EXPECT_FALSE(keys.contains(item.key)) << item.title.toStdString();
            keys << item.key;
        }
    }
    EXPECT_EQ(menus, (QStringList{"Rowkeeper", "Edit", "Window", "Help"}));
    EXPECT_EQ(delegateItems, (QStringList{"About Rowkeeper", "Permissions…", "Save Diagnostics…"}));
    EXPECT_EQ(roleItems, (QStringList{"About Rowkeeper", "Permissions…", "Quit Rowkeeper"}));
}

TEST(MenuBar, DelegateItemsReachTheDelegateFromEveryWindow) {
    QMenuBar bar;
    QList<MenuAction> asked;
    Menus::build(bar, [&](MenuAction action) { asked << action; });
    QAction* permissions = Menus::find(bar, "Rowkeeper", "Permissions…");
    ASSERT_NE(permissions, nullptr);
    EXPECT_EQ(permissions->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(permissions->shortcutContext(), Qt::ApplicationShortcut);
    permissions->trigger();
    Menus::find(bar, "Rowkeeper", "About Rowkeeper")->trigger();
    Menus::find(bar, "Help", "Save Diagnostics…")->trigger();
    EXPECT_EQ(asked, (QList<MenuAction>{MenuAction::showPermissions, MenuAction::showAbout,
                                        MenuAction::saveDiagnostics}));
    // An app here cannot hide other applications.
    EXPECT_FALSE(Menus::find(bar, "Rowkeeper", "Hide Others")->isEnabled());

    // The Window menu lists each titled open window once, however often it opens.
    QWidget titled;
    titled.setWindowTitle("Rowkeeper");
    titled.show();
    QWidget untitled;
    untitled.show();
    QMenu* windows = Menus::windowsMenu(bar);
    emit windows->aboutToShow();
    emit windows->aboutToShow();
    QStringList titles;
    for (QAction* action : windows->actions())
        titles << action->text();
    EXPECT_EQ(titles.count("Rowkeeper"), 1);
    EXPECT_EQ(titles.first(), QStringLiteral("Close"));
}

TEST(MenuActions, EditingGoesToTheFocusedFieldAndCloseToTheActiveWindow) {
    QWidget back;
    back.show();
    QWidget window;
    auto* field = new QLineEdit(QStringLiteral("some text"), &window);
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), field);
    field->deselect();
    Menus::performStandard(MenuAction::selectAll);
    EXPECT_EQ(field->selectedText(), QStringLiteral("some text"));
    Menus::performStandard(MenuAction::cut);
    EXPECT_EQ(field->text(), QString());
    Menus::performStandard(MenuAction::undo);
    EXPECT_EQ(field->text(), QStringLiteral("some text"));

    Menus::performStandard(MenuAction::performClose);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(back.isVisible());
}

}  // namespace
