#include "app/Menus.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace rk {

namespace {

MenuItemDef separator() {
    MenuItemDef item;
    item.separator = true;
    return item;
}

MenuItemDef item(const QString& title, MenuAction action, QKeySequence key = {},
                 MenuTarget target = MenuTarget::firstResponder, QAction::MenuRole role = QAction::NoRole) {
    MenuItemDef def;
    def.title = title;
    def.action = action;
    def.key = std::move(key);
    def.target = target;
    def.role = role;
    return def;
}

MenuItemDef updaterItems() {
    MenuItemDef item;
    item.updaterItems = true;
    return item;
}

QKeySequence command(Qt::Key key, Qt::KeyboardModifiers more = {}) {
    return QKeySequence(QKeyCombination(Qt::ControlModifier | more, key));
}

// Actions of the Window menu that stand for open windows; rebuilt each time
// the menu opens.
constexpr char kWindowEntry[] = "rowkeeper.windowEntry";

void listWindows(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->property(kWindowEntry).toBool()) {
            menu->removeAction(action);
            action->deleteLater();
        }
    }
    const QList<QWidget*> windows = Menus::listedWindows();
    if (windows.isEmpty())
        return;
    QAction* line = menu->addSeparator();
    line->setProperty(kWindowEntry, true);
    for (QWidget* window : windows) {
        QAction* entry = menu->addAction(window->windowTitle());
        entry->setProperty(kWindowEntry, true);
        entry->setCheckable(true);
        entry->setChecked(window == QApplication::activeWindow());
        QObject::connect(entry, &QAction::triggered, window, [window] {
            window->showNormal();
            window->raise();
            window->activateWindow();
        });
    }
}

void sendStandardKey(QKeySequence::StandardKey key) {
    QWidget* focus = QApplication::focusWidget();
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(key);
    if (focus == nullptr || bindings.isEmpty())
        return;
    const QKeyCombination combination = bindings.first()[0];
    QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    QApplication::sendEvent(focus, &press);
    QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers());
    QApplication::sendEvent(focus, &release);
}

bool isAppWindow(const QWidget* widget) {
    if (widget == nullptr || !widget->isWindow())
        return false;
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

}  // namespace

const QList<MenuDef>& Menus::table() {
    using A = MenuAction;
    using T = MenuTarget;
    static const QList<MenuDef> menus{
        {QStringLiteral("Rowkeeper"),
         {
             item(QStringLiteral("About Rowkeeper"), A::showAbout, {}, T::delegate, QAction::AboutRole),
             separator(),
             item(QStringLiteral("Permissions…"), A::showPermissions, command(Qt::Key_Comma), T::delegate,
                  QAction::PreferencesRole),
             updaterItems(),
             separator(),
             item(QStringLiteral("Hide Rowkeeper"), A::hide, command(Qt::Key_H)),
             item(QStringLiteral("Hide Others"), A::hideOthers, command(Qt::Key_H, Qt::AltModifier)),
             item(QStringLiteral("Show All"), A::unhideAll),
             separator(),
             item(QStringLiteral("Quit Rowkeeper"), A::terminate, command(Qt::Key_Q), T::firstResponder,
                  QAction::QuitRole),
         }},
        {QStringLiteral("Edit"),
         {
             item(QStringLiteral("Undo"), A::undo, command(Qt::Key_Z)),
             item(QStringLiteral("Redo"), A::redo, command(Qt::Key_Z, Qt::ShiftModifier)),
             separator(),
             item(QStringLiteral("Cut"), A::cut, command(Qt::Key_X)),
             item(QStringLiteral("Copy"), A::copy, command(Qt::Key_C)),
             item(QStringLiteral("Paste"), A::paste, command(Qt::Key_V)),
             item(QStringLiteral("Select All"), A::selectAll, command(Qt::Key_A)),
         }},
        {QStringLiteral("Window"),
         {
             item(QStringLiteral("Close"), A::performClose, command(Qt::Key_W)),
             item(QStringLiteral("Minimize"), A::performMiniaturize, command(Qt::Key_M)),
             item(QStringLiteral("Zoom"), A::performZoom),
             separator(),
             item(QStringLiteral("Bring All to Front"), A::arrangeInFront),
         }},
        {QStringLiteral("Help"),
         {
             item(QStringLiteral("Save Diagnostics…"), A::saveDiagnostics, {}, T::delegate),
         }},
    };
    return menus;
}

QString Menus::selector(MenuAction action) {
    switch (action) {
        case MenuAction::showAbout:
            return QStringLiteral("showAbout");
        case MenuAction::showPermissions:
            return QStringLiteral("showPermissions");
        case MenuAction::hide:
            return QStringLiteral("hide:");
        case MenuAction::hideOthers:
            return QStringLiteral("hideOtherApplications:");
        case MenuAction::unhideAll:
            return QStringLiteral("unhideAllApplications:");
        case MenuAction::terminate:
            return QStringLiteral("terminate:");
        case MenuAction::undo:
            return QStringLiteral("undo:");
        case MenuAction::redo:
            return QStringLiteral("redo:");
        case MenuAction::cut:
            return QStringLiteral("cut:");
        case MenuAction::copy:
            return QStringLiteral("copy:");
        case MenuAction::paste:
            return QStringLiteral("paste:");
        case MenuAction::selectAll:
            return QStringLiteral("selectAll:");
        case MenuAction::performClose:
            return QStringLiteral("performClose:");
        case MenuAction::performMiniaturize:
            return QStringLiteral("performMiniaturize:");
        case MenuAction::performZoom:
            return QStringLiteral("performZoom:");
        case MenuAction::arrangeInFront:
            return QStringLiteral("arrangeInFront:");
        case MenuAction::saveDiagnostics:
            return QStringLiteral("saveDiagnostics");
    }
    return {};
}

void Menus::build(QMenuBar& bar, std::function<void(MenuAction)> delegate,
                  const std::function<void(QMenu&)>& updaterItems) {
    for (const MenuDef& def : table()) {
        QMenu* menu = bar.addMenu(def.title);
        menu->setTitle(def.title);
        for (const MenuItemDef& itemDef : def.items) {
            if (itemDef.separator) {
                menu->addSeparator();
                continue;
            }
            if (itemDef.updaterItems) {
                if (updaterItems)
                    updaterItems(*menu);
                continue;
            }
            QAction* action = menu->addAction(itemDef.title);
            action->setMenuRole(itemDef.role);
            action->setShortcut(itemDef.key);
            action->setShortcutContext(Qt::ApplicationShortcut);
            const MenuAction what = *itemDef.action;
            action->setEnabled(isAvailable(what));
            if (itemDef.target == MenuTarget::delegate) {
                QObject::connect(action, &QAction::triggered, action, [delegate, what] {
                    if (delegate)
                        delegate(what);
                });
            } else {
                QObject::connect(action, &QAction::triggered, action, [what] { performStandard(what); });
            }
        }
    }
    if (QMenu* windows = windowsMenu(bar))
        QObject::connect(windows, &QMenu::aboutToShow, windows, [windows] { listWindows(windows); });
}

QMenu* Menus::windowsMenu(const QMenuBar& bar) {
    for (QAction* top : bar.actions()) {
        if (top->menu() != nullptr && top->menu()->title() == QStringLiteral("Window"))
            return top->menu();
    }
    return nullptr;
}

QMenu* Menus::helpMenu(const QMenuBar& bar) {
    for (QAction* top : bar.actions()) {
        if (top->menu() != nullptr && top->menu()->title() == QStringLiteral("Help"))
            return top->menu();
    }
    return nullptr;
}

QAction* Menus::find(const QMenuBar& bar, const QString& menu, const QString& item) {
    for (QAction* top : bar.actions()) {
        if (top->menu() == nullptr || top->menu()->title() != menu)
            continue;
        for (QAction* action : top->menu()->actions()) {
            if (!action->isSeparator() && action->text() == item)
                return action;
        }
    }
    return nullptr;
}

bool Menus::isAvailable(MenuAction action) {
    return action != MenuAction::hideOthers;
}

QList<QWidget*> Menus::listedWindows() {
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (isAppWindow(widget) && widget->isVisible() && !widget->windowTitle().isEmpty())
            windows << widget;
    }
    return windows;
}

void Menus::performStandard(MenuAction action) {
    QWidget* active = QApplication::activeWindow();
    switch (action) {
        case MenuAction::undo:
            sendStandardKey(QKeySequence::Undo);
            break;
        case MenuAction::redo:
            sendStandardKey(QKeySequence::Redo);
            break;
        case MenuAction::cut:
            sendStandardKey(QKeySequence::Cut);
            break;
        case MenuAction::copy:
            sendStandardKey(QKeySequence::Copy);
            break;
        case MenuAction::paste:
            sendStandardKey(QKeySequence::Paste);
            break;
        case MenuAction::selectAll:
            sendStandardKey(QKeySequence::SelectAll);
            break;
        case MenuAction::performClose:
            if (active != nullptr)
                active->close();
            break;
        case MenuAction::performMiniaturize:
            if (active != nullptr)
                active->showMinimized();
            break;
        case MenuAction::performZoom:
            if (active != nullptr)
                active->isMaximized() ? active->showNormal() : active->showMaximized();
            break;
        case MenuAction::hide:
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (isAppWindow(widget) && widget->isVisible())
                    widget->showMinimized();
            }
            break;
        case MenuAction::unhideAll:
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (isAppWindow(widget) && widget->isMinimized())
                    widget->showNormal();
            }
            break;
        case MenuAction::arrangeInFront:
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (isAppWindow(widget) && widget->isVisible())
                    widget->raise();
            }
            if (active != nullptr) {
                active->raise();
                active->activateWindow();
            }
            break;
        case MenuAction::terminate:
            QApplication::quit();
            break;
        case MenuAction::hideOthers:
        case MenuAction::showAbout:
        case MenuAction::showPermissions:
        case MenuAction::saveDiagnostics:
            break;
    }
}

}  // namespace rk
