// The updater's message boxes show feed texts as they are: markup in a
// title or message stays literal text.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "support/QtApp.h"
#include "update/views/KTUpdateMessageBox.h"

namespace rk {
namespace {

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

TEST(UpdateMessageBox, FeedTextsAreNeverReadAsMarkup) {
    test::ensureApplication();
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
