// The about window and the version texts it shows.

#include <gtest/gtest.h>

#include <QMainWindow>

#include "app/AboutPanel.h"
#include "app/Menus.h"
#include "app/model/AppInfo.h"
#include "support/DelegateFakes.h"
#include "ui/Palette.h"
#include "ui/RootView.h"

using namespace rk;
using namespace rk::test;

namespace {

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

// A build that names nothing is "dev", number 0.
TEST(AboutView, SameTextsInEitherSchemeInItsColours) {
    EXPECT_EQ(AppInfo::versionLine(" ", ""), QStringLiteral("Version dev (0)"));
    for (const bool dark : {false, true}) {
        AboutView view(dark, nullptr);
        QStringList texts;
        for (const QLabel* label : view.findChildren<QLabel*>())
            texts << label->text();
        EXPECT_EQ(texts, (QStringList{"Rowkeeper", AppInfo::versionLine(),
                                      "Points at the leftovers in your privacy and startup lists. You make "
                                      "every change.",
                                      "Quillory Studios"}));
        EXPECT_EQ(view.palette().color(QPalette::Window), Palette::ground(dark));
        EXPECT_TRUE(view.versionLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    }
}

// Each label has room for its whole text, on one line or wrapped.
void expectRoomForEveryText(const QWidget& view) {
    for (const QLabel* label : view.findChildren<QLabel*>()) {
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed =
            label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 10000), flags, label->text());
        EXPECT_TRUE(room.contains(needed.translated(room.topLeft() - needed.topLeft())))
            << label->text().toStdString();
    }
}

class AboutWindow : public ::testing::Test {
protected:
    void SetUp() override {
        delegate = std::make_unique<AppDelegate>(QStringList{"rowkeeper"},
                                                 delegateSeams(world, frames.filePath("frames.ini")));
        ASSERT_FALSE(delegate->applicationDidFinishLaunching());
    }
    ModelWorld world;
    QTemporaryDir frames;
    std::unique_ptr<AppDelegate> delegate;
};

// Chosen from the menu bar, then again; every text whole, in the desktop's
// scheme before and after a switch between light and dark.
TEST_F(AboutWindow, MadeOnceShownAgainWhereItWasLeftWithEveryTextWhole) {
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
    expectRoomForEveryText(*first);
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, Palette::ground(true));
    dark.setColor(QPalette::WindowText, Palette::ink(true));
    QApplication::setPalette(dark);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_EQ(first->palette().color(QPalette::Window), Palette::ground(true));
    EXPECT_TRUE(qobject_cast<RootView*>(delegate->window()->centralWidget())->dark());
    expectRoomForEveryText(*first);
    QApplication::setPalette(light);
}

}  // namespace
