// The main menu: the rules its table keeps, the menu bar built from it, and
// the actions this desktop performs itself.

#include "app/Menus.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenuBar>

#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

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

    Menus::performStandard(MenuAction::performClose);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(back.isVisible());
}

}  // namespace
