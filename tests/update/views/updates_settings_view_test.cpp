// The update model and its views. The rows: the switches write their
// settings through the model and grey out below a setting that is off, the
// ready notice and the status line follow the model, and the settings card
// shows the rows between its two dividers in both schemes. The model: what
// it reads from the updater when it is made, what its setters write through,
// the messages the updater's hooks hand it, and the last-checked line. The
// app menu's two update items with the status line of each state, and the
// message boxes, which show feed texts as they are.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "support/ModelFakes.h"
#include "support/Printers.h"
#include "support/QtApp.h"
#include "support/TempDefaults.h"
#include "support/UiProbe.h"
#include "support/UpdaterReset.h"
#include "ui/Controls.h"
#include "ui/Rendering.h"
#include "ui/SettingsCard.h"
#include "update/KTUpdate.h"
#include "update/KTUpdateModel.h"
#include "update/views/KTUpdateMenu.h"
#include "update/views/KTUpdateMessageBox.h"
#include "update/views/KTUpdatesSettingsView.h"

namespace rk {
namespace {

[[maybe_unused]] const auto* const kApp = ::testing::AddGlobalTestEnvironment(
    new test::AppEnvironment(test::AppKind::widgets, "update_views_test"));
[[maybe_unused]] const bool kReset = test::resetUpdaterAfterEachTest(&KTMenuController::endShared);

// An updater that can check: a feed, and the app where an install goes.
bool turnUpdaterOn() {
    KTUpdate::feedBase = "https://updates.example";
    KTUpdate::targetBundlePath = "/Applications/Rowkeeper.app";
    return true;
}

const QString kNoFeed = "Updates: off \u00b7 no update feed in this build";

class UpdateRows : public ::testing::Test {
protected:
    StaticRenderingScope still;
    test::TempDefaults defaults;
    const bool on = turnUpdaterOn();
    KTUpdateModel m;
    KTUpdateRows rows{m, "Rowkeeper", false};
};

TEST_F(UpdateRows, TheSwitchesWriteTheirSettingsAndGreyOutBelowOneThatIsOff) {
    test::clickCentre(rows.masterSwitch());  // all on: all off
    EXPECT_EQ(QSettings().allKeys(),
              (QStringList{KTUpdate::kAutoCheck, KTUpdate::kAutoDownload, KTUpdate::kAutoInstall}));
    EXPECT_FALSE(KTUpdate::autoCheck() || KTUpdate::autoDownload() || KTUpdate::autoInstall());
    m.setAutoDownload(true);  // shown on, greyed out while checking is off
    EXPECT_TRUE(rows.downloadSwitch()->isOn() && !rows.downloadSwitch()->isEnabled());
    EXPECT_FALSE(rows.installSwitch()->isEnabled());
    test::clickCentre(rows.checkSwitch());
    EXPECT_TRUE(KTUpdate::autoCheck());
    EXPECT_TRUE(rows.installSwitch()->isEnabled() && !rows.installSwitch()->isOn());
}

TEST_F(UpdateRows, TheNoticeAndTheStatusLineFollowTheModel) {
    EXPECT_TRUE(rows.readyNotice()->isHidden());
    EXPECT_EQ(rows.statusText(), QString("not yet checked"));
    m.setPendingVersion(QStringLiteral("1.5"));
    m.setStatus(QStringLiteral("v1.5 ready to install"));
    EXPECT_EQ(test::shownTexts(rows.readyNotice()),
              (QStringList{"Update to v1.5 is ready.", "Install and Relaunch"}));
    EXPECT_EQ(rows.statusText(), QString("v1.5 ready to install"));
}

TEST_F(UpdateRows, TheSettingsCardShowsTheRowsBetweenItsDividersInBothSchemes) {
    test::ModelWorld world;
    AppModel& app = world.startModel();
    m.setPendingVersion(QStringLiteral("1.5"));
    SettingsCard::setUpdatesRows([this](bool dark, QWidget* parent) {
        return KTUpdatesSettingsView("Rowkeeper", m).rows(dark, parent);
    });
    for (const bool dark : {false, true}) {
        SettingsCard card(app, dark);
        test::render(&card, SettingsCard::cardWidth);
        QList<int> dividers;
        for (const QWidget* child : card.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->height() == 1)
                dividers << child->y();
        }
        ASSERT_EQ(dividers.size(), 2);
        const QRect area = card.updatesArea()->geometry();
        EXPECT_TRUE(dividers[0] < area.top() && area.bottom() < dividers[1]) << area.y();
        EXPECT_TRUE(test::shows(card.updatesArea(), "Automatically keep Rowkeeper up to date"));
    }
    SettingsCard::setUpdatesRows({});
}

// Off (no feed in this build; a feed but no installed app): the switches grey
// out, the status line says why, and a check asked for answers with that.
TEST(UpdaterOff, SaysWhyAndAnswersACheckWithIt) {
    StaticRenderingScope still;
    test::TempDefaults defaults;
    const QTemporaryDir dir;
    KTUpdate::setLogPath(dir.filePath("updater.log"));
    KTUpdate::appKey = "lark-spur";
    for (const QString feed : {"", "https://updates.example"}) {
        KTUpdate::feedBase = feed;
        const QString line =
            feed.isEmpty() ? kNoFeed : "Updates: off \u00b7 not running from an installed app";
        KTUpdateModel m;
        KTUpdateRows rows{m, "Rowkeeper", false};
        EXPECT_FALSE(rows.masterSwitch()->isEnabled() || rows.checkSwitch()->isEnabled() ||
                     rows.downloadSwitch()->isEnabled() || rows.installSwitch()->isEnabled());
        EXPECT_EQ(rows.statusText(), line);
        m.checkNow();
        QCoreApplication::processEvents();  // the status reaches the hook,
        QCoreApplication::processEvents();  // and the hook the model
        EXPECT_EQ(m.status(), line);
    }
}

// The value signals of `m`, in order: "check off", "status <text>", "pending 1.5", ...
void watch(KTUpdateModel& m, QStringList& seen) {
    const auto on = [](bool value) { return value ? QString(" on") : QString(" off"); };
    QObject::connect(&m, &KTUpdateModel::autoCheckChanged, [&, on](bool v) { seen << "check" + on(v); });
    QObject::connect(&m, &KTUpdateModel::autoDownloadChanged,
                     [&, on](bool v) { seen << "download" + on(v); });
    QObject::connect(&m, &KTUpdateModel::autoInstallChanged, [&, on](bool v) { seen << "install" + on(v); });
    QObject::connect(&m, &KTUpdateModel::statusChanged,
                     [&](const QString& text) { seen << "status " + text; });
    QObject::connect(&m, &KTUpdateModel::pendingVersionChanged, [&](const std::optional<QString>& version) {
        seen << "pending " + version.value_or("none");
    });
}

// ---- The update model -----------------------------------------------------------------

class UpdateModel : public ::testing::Test {
protected:
    test::TempDefaults defaults;
    QStringList seen;
};

TEST_F(UpdateModel, StartsFromTheUpdaterAndWritesEachSettingThroughAlone) {
    turnUpdaterOn();
    QSettings().setValue(KTUpdate::kAutoDownload, false);
    KTUpdate::setPendingUpdate(
        {.staged = "/tmp/staged/Rowkeeper.app", .version = "1.4.2", .notes = {}, .notesURL = {}});
    KTUpdateModel m;
    watch(m, seen);
    EXPECT_TRUE(m.autoCheck() && !m.autoDownload() && m.autoInstall() && !m.fullyAutomatic());
    EXPECT_EQ(m.pendingVersion(), QString("1.4.2"));
    EXPECT_EQ(m.status(), QString());
    EXPECT_EQ(m.lastCheckedLine(), QString("not yet checked"));

    m.setAutoInstall(false);
    EXPECT_EQ(QSettings().allKeys(), (QStringList{KTUpdate::kAutoDownload, KTUpdate::kAutoInstall}));
    EXPECT_FALSE(KTUpdate::autoInstall());
    m.setFullyAutomatic(true);
    EXPECT_EQ(seen, (QStringList{"install off", "check on", "download on", "install on"}));
    EXPECT_TRUE(KTUpdate::fullyAutomatic());
}

TEST_F(UpdateModel, TheHooksHandMessagesOverOnTheMainThreadInTheirOrder) {
    int earlier = 0;
    KTUpdate::onStatus = [&earlier](const QString&) { ++earlier; };
    KTUpdateModel m;
    watch(m, seen);
    std::thread updater([] {
        KTUpdate::onStatus(QStringLiteral("downloading v1.5…"));
        KTUpdate::onPendingUpdate(QStringLiteral("1.5"));
        KTUpdate::onStatus(QStringLiteral("v1.5 ready to install"));
    });
    updater.join();
    EXPECT_TRUE(seen.isEmpty());  // not before the main thread's turn
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, (QStringList{"status downloading v1.5…", "pending 1.5", "status v1.5 ready to install"}));
    EXPECT_EQ(earlier, 0);  // the handler the model replaced is not called
}

TEST(LastCheckedLine, TheTimeAloneTodayElseTheDateToo) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime now(QDate(2025, 3, 4), QTime(16, 0));
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(QDateTime(QDate(2025, 3, 4), QTime(9, 30)), now, english),
              QString("last checked 9:30 AM"));
    EXPECT_EQ(KTUpdateModel::lastCheckedLine(QDateTime(QDate(2025, 3, 1), QTime(21, 5)), now, english),
              QString("last checked Mar 1, 2025, 9:05 PM"));
}

// ---- The app menu's update items and the message boxes ----------------------------

class UpdateMenu : public ::testing::Test {
protected:
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
        QString feed = "https://updates.example";
    } cases[] = {
        {"1.5", false, "Update v1.5 ready: choose Check for Updates to install"},
        {std::nullopt, true, "Updates: automatic"},
        {std::nullopt, false, "Updates: manual (auto-check off)"},
        {std::nullopt, true, kNoFeed, ""},
    };
    KTUpdate::targetBundlePath = "/Applications/Rowkeeper.app";
    for (const auto& c : cases) {
        KTUpdate::feedBase = c.feed;
        KTUpdate::setPendingUpdate({.staged = {}, .version = c.pending, .notes = {}, .notesURL = {}});
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
