// The main menu: its table (titles, key equivalents, roles, receivers), the
// menu bar built from it, and the actions this desktop performs itself.

#include "app/Menus.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

struct Row {
    QString menu;
    QString title;  // empty: a separator
    QString selector;
    QKeySequence key;
    MenuTarget target;
    QAction::MenuRole role;
};

QList<Row> flatten() {
    QList<Row> rows;
    for (const MenuDef& menu : Menus::table()) {
        for (const MenuItemDef& item : menu.items) {
            rows << Row{menu.title,
                        item.separator      ? QString()
                        : item.updaterItems ? QString("(the updater's items)")
                                            : item.title,
                        item.action ? Menus::selector(*item.action) : QString(),
                        item.key,
                        item.target,
                        item.role};
        }
    }
    return rows;
}

const QKeySequence kNone;
QKeySequence cmd(const char* keys) {
    return QKeySequence(QString::fromLatin1(keys));
}

TEST(MenuTable, FourMenusInOrderWithTheirItems) {
    using T = MenuTarget;
    constexpr auto none = QAction::NoRole;
    const QList<Row> expected{
        {"Rowkeeper", "About Rowkeeper", "showAbout", kNone, T::delegate, QAction::AboutRole},
        {"Rowkeeper", "", "", kNone, T::firstResponder, none},
        {"Rowkeeper", "Permissions…", "showPermissions", cmd("Ctrl+,"), T::delegate,
         QAction::PreferencesRole},
        {"Rowkeeper", "(the updater's items)", "", kNone, T::firstResponder, none},
        {"Rowkeeper", "", "", kNone, T::firstResponder, none},
        {"Rowkeeper", "Hide Rowkeeper", "hide:", cmd("Ctrl+H"), T::firstResponder, none},
        {"Rowkeeper", "Hide Others", "hideOtherApplications:", cmd("Ctrl+Alt+H"), T::firstResponder, none},
        {"Rowkeeper", "Show All", "unhideAllApplications:", kNone, T::firstResponder, none},
        {"Rowkeeper", "", "", kNone, T::firstResponder, none},
        {"Rowkeeper", "Quit Rowkeeper", "terminate:", cmd("Ctrl+Q"), T::firstResponder, QAction::QuitRole},
        {"Edit", "Undo", "undo:", cmd("Ctrl+Z"), T::firstResponder, none},
        {"Edit", "Redo", "redo:", cmd("Ctrl+Shift+Z"), T::firstResponder, none},
        {"Edit", "", "", kNone, T::firstResponder, none},
        {"Edit", "Cut", "cut:", cmd("Ctrl+X"), T::firstResponder, none},
        {"Edit", "Copy", "copy:", cmd("Ctrl+C"), T::firstResponder, none},
        {"Edit", "Paste", "paste:", cmd("Ctrl+V"), T::firstResponder, none},
        {"Edit", "Select All", "selectAll:", cmd("Ctrl+A"), T::firstResponder, none},
        {"Window", "Close", "performClose:", cmd("Ctrl+W"), T::firstResponder, none},
        {"Window", "Minimize", "performMiniaturize:", cmd("Ctrl+M"), T::firstResponder, none},
        {"Window", "Zoom", "performZoom:", kNone, T::firstResponder, none},
        {"Window", "", "", kNone, T::firstResponder, none},
        {"Window", "Bring All to Front", "arrangeInFront:", kNone, T::firstResponder, none},
        {"Help", "Save Diagnostics…", "saveDiagnostics", kNone, T::delegate, none},
    };
    const QList<Row> rows = flatten();
    ASSERT_EQ(rows.size(), expected.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].menu.toStdString() + " / " + expected[i].title.toStdString());
        EXPECT_EQ(rows[i].menu, expected[i].menu);
        EXPECT_EQ(rows[i].title, expected[i].title);
        EXPECT_EQ(rows[i].selector, expected[i].selector);
        EXPECT_EQ(rows[i].key, expected[i].key);
        EXPECT_EQ(rows[i].target, expected[i].target);
        EXPECT_EQ(rows[i].role, expected[i].role);
    }
}

class MenuBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        Menus::build(bar, [this](MenuAction action) { asked << action; });
    }
    QMenuBar bar;
    QList<MenuAction> asked;
};

TEST_F(MenuBarTest, DelegateItemsReachTheDelegateAndWorkFromEveryWindow) {
    QAction* permissions = Menus::find(bar, "Rowkeeper", "Permissions…");
    ASSERT_NE(permissions, nullptr);
    EXPECT_EQ(permissions->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(permissions->shortcutContext(), Qt::ApplicationShortcut);
    EXPECT_EQ(permissions->menuRole(), QAction::PreferencesRole);
    permissions->trigger();
    Menus::find(bar, "Rowkeeper", "About Rowkeeper")->trigger();
    Menus::find(bar, "Help", "Save Diagnostics…")->trigger();
    EXPECT_EQ(asked, (QList<MenuAction>{MenuAction::showPermissions, MenuAction::showAbout,
                                        MenuAction::saveDiagnostics}));
}

TEST_F(MenuBarTest, HidingOtherAppsIsNotOfferedWhereAnAppCannotDoIt) {
    EXPECT_FALSE(Menus::find(bar, "Rowkeeper", "Hide Others")->isEnabled());
    EXPECT_TRUE(Menus::find(bar, "Rowkeeper", "Hide Rowkeeper")->isEnabled());
}

TEST_F(MenuBarTest, TheWindowMenuListsOpenWindows) {
    QWidget a;
    a.setWindowTitle("Rowkeeper");
    a.show();
    QWidget untitled;
    untitled.show();
    QMenu* windows = Menus::windowsMenu(bar);
    emit windows->aboutToShow();
    emit windows->aboutToShow();  // listed once, however often the menu opens
    QStringList titles;
    for (QAction* action : windows->actions())
        titles << action->text();
    EXPECT_EQ(titles.count("Rowkeeper"), 1);
    EXPECT_EQ(titles.first(), QStringLiteral("Close"));
}

TEST(MenuActions, EditingGoesToTheFocusedField) {
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
}

TEST(MenuActions, CloseClosesTheActiveWindowOnly) {
    QWidget front;
    QWidget back;
    back.show();
    front.show();
    QApplication::setActiveWindow(&front);
    ASSERT_EQ(QApplication::activeWindow(), &front);
    Menus::performStandard(MenuAction::performClose);
    EXPECT_FALSE(front.isVisible());
    EXPECT_TRUE(back.isVisible());
}

}  // namespace
