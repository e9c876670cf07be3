#pragma once
// The main menu as a table: four menus, their items, key equivalents, roles
// and who answers each item, with the place where the updater appends its
// own items. The Mac's command key is written as Qt's control modifier,
// which Qt maps to the command key there. The three items the Mac places
// itself (About, Permissions…, Quit) carry their menu roles.

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QMenu;
class QMenuBar;
class QWidget;

namespace rk {

enum class MenuAction {
    showAbout,
    showPermissions,
    hide,
    hideOthers,
    unhideAll,
    terminate,
    undo,
    redo,
    cut,
    copy,
    paste,
    selectAll,
    performClose,
    performMiniaturize,
    performZoom,
    arrangeInFront,
    saveDiagnostics,
};

// Who receives an item's action: the application delegate, or whatever has
// the focus (the Mac's first responder).
enum class MenuTarget { delegate, firstResponder };

struct MenuItemDef {
    bool separator = false;
    // The place of the updater's items ("Check for Updates…" and its status
    // line), which the updater appends itself.
    bool updaterItems = false;
    QString title{};
    std::optional<MenuAction> action{};
    QKeySequence key{};
    MenuTarget target = MenuTarget::firstResponder;
    QAction::MenuRole role = QAction::NoRole;

    friend bool operator==(const MenuItemDef&, const MenuItemDef&) = default;
};

struct MenuDef {
    QString title;
    QList<MenuItemDef> items;
};

struct Menus {
    // "Rowkeeper", "Edit", "Window", "Help", in order.
    static const QList<MenuDef>& table();
    // The Mac's selector name of an action ("showAbout", "hide:", ...).
    static QString selector(MenuAction action);

    // Builds the table into `bar`. Delegate items call `delegate`; the
    // others are answered by performStandard(). Shortcuts work in every
    // window of the app. `updaterItems` appends the updater's items to the
    // menu at their place; without it the place stays empty.
    static void build(QMenuBar& bar, std::function<void(MenuAction)> delegate,
                      const std::function<void(QMenu&)>& updaterItems = {});
    // The first menu of `bar` titled "Window"; none when there is none.
    static QMenu* windowsMenu(const QMenuBar& bar);
    static QMenu* helpMenu(const QMenuBar& bar);
    // The action built for a title, for tests and for the Window menu.
    static QAction* find(const QMenuBar& bar, const QString& menu, const QString& item);

    // The first-responder actions, done the way this desktop can: editing
    // goes to the focused widget as its standard key, window actions to the
    // active window, hiding minimises the app's windows.
    static void performStandard(MenuAction action);
    // Whether this desktop can do the action at all (hiding other
    // applications is not something an app may do here).
    static bool isAvailable(MenuAction action);
    // The app's own windows a person can pick from the Window menu: shown,
    // top level, not panels, with a title.
    static QList<QWidget*> listedWindows();
};

}  // namespace rk
