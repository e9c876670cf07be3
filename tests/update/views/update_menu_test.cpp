// The app menu's two update items with the status line of each state, the
// status wrapper until the update model takes the hook over, and the
// message boxes, which show feed texts as they are.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "support/Printers.h"
#include "support/QtApp.h"
#include "support/TempDefaults.h"
#include "update/KTUpdate.h"
#include "update/KTUpdateModel.h"
#include "update/views/KTUpdateMenu.h"
#include "update/views/KTUpdateMessageBox.h"

namespace rk {
namespace {

class UpdateMenu : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }
    void TearDown() override { KTUpdate::setPendingUpdate({}); }
    // Each item's title, "---" for a separator.
    static QStringList titles(const QMenu& menu) {
        QStringList shown;
        for (const QAction* item : menu.actions())
            shown << (item->isSeparator() ? QString("---") : item->text());
        return shown;
    }
    test::TempDefaults defaults;
    QMenu menu;
};

TEST_F(UpdateMenu, CheckForUpdatesThenTheStatusLineOfEachState) {
    const struct {
        std::optional<QString> pending;
        bool autoCheck;
        QString line;
    } cases[] = {
        {"1.5", false, "Update v1.5 ready: choose Check for Updates to install"},
        {std::nullopt, true, "Updates: automatic"},
        {std::nullopt, false, "Updates: manual (auto-check off)"},
    };
    for (const auto& c : cases) {
        KTUpdate::PendingUpdate pending;
        pending.version = c.pending;
        KTUpdate::setPendingUpdate(pending);
        KTUpdate::setAutoCheck(c.autoCheck);
        menu.clear();
        KTStandard::appendUpdateItems(menu);
        EXPECT_EQ(titles(menu), (QStringList{"Check for Updates…", c.line}));
        EXPECT_EQ(KTStandard::actionOf(menu.actions()[0]), QString("checkNow"));
        EXPECT_FALSE(menu.actions()[1]->isEnabled());
    }
}

TEST_F(UpdateMenu, TheStatusItemHearsMessagesUntilTheModelTakesTheHookOver) {
    QStringList earlier;
    KTUpdate::onStatus = [&earlier](const QString& message) { earlier << message; };
    KTStandard::appendUpdateItems(menu);
    KTUpdate::onStatus(QStringLiteral("checked 3:07pm · up to date"));
    EXPECT_EQ(earlier, QStringList{"checked 3:07pm · up to date"});
    QCoreApplication::processEvents();
    EXPECT_EQ(menu.actions()[1]->text(), QString("Updates: on · checked 3:07pm · up to date"));

    // The app makes its model after the menu: the item keeps its title.
    KTUpdateModel model;
    KTUpdate::onStatus(QStringLiteral("downloading v1.5…"));
    QCoreApplication::processEvents();
    EXPECT_EQ(menu.actions()[1]->text(), QString("Updates: on · checked 3:07pm · up to date"));
    EXPECT_EQ(model.status(), QString("downloading v1.5…"));
}

// Answers the next box with `label`, noting the text formats of its labels.
void answerNextBox(const QString& label, QList<Qt::TextFormat>& formats) {
    QTimer::singleShot(0, [label, &formats] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (const QLabel* text : box->findChildren<QLabel*>())
            formats << text->textFormat();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == label)
                button->click();
        }
    });
}

// Markup in a title or message stays literal text.
TEST_F(UpdateMenu, MessageBoxesNeverReadFeedTextsAsMarkup) {
    KTUpdateMessageBox boxes;
    QList<Qt::TextFormat> formats;
    answerNextBox("Install and Relaunch", formats);
    EXPECT_TRUE(boxes.confirm("A new version is available", "v<b>1.5</b> is ready.", "Install and Relaunch",
                              "Later"));
    answerNextBox("OK", formats);
    boxes.notice("Update failed", "<a href='https://example.com'>signature</a> refused");
    EXPECT_GE(formats.size(), 4);
    EXPECT_EQ(formats.count(Qt::PlainText), formats.size());
}

}  // namespace
}  // namespace rk
