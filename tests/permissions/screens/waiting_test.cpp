// The permission screen while it waits: seconds, questions to a fresh copy,
// restarts, the drag companion and the "Quit and Reopen" link.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <memory>

#include "permissions/PermissionWizard.h"
#include "permissions/screens/DragCompanion.h"
#include "permissions/screens/PermissionScreen.h"
#include "support/ScreensFixture.h"
#include "support/WidgetProbe.h"
#include "support/WizardFixture.h"

namespace rk {
namespace {

class Waiting : public testing::Test {
protected:
    void SetUp() override {
        test::ensureApplication();
        permissions = test::screensPermissions(&granted);
        permissions[1].restartsOnStaleGrant = true;
        KTPermissionWizard::configure(test::screensProduct(), test::screensBrand(), permissions, false);
        KTPermissionWizard::freshProcessGrants = [this] { return answer; };
        KTPermissionWizard::staleGrantRestart = [this](const QStringList& outstanding) {
            restarts << outstanding;
            return restartStarts;
        };
    }
    void TearDown() override { KTDragCompanion::shared().hide(); }

    std::unique_ptr<PermissionScreen> screen(int index) {
        const PermissionScreen::Inputs inputs{.product = test::screensProduct(),
                                              .permission = permissions[index],
                                              .index = index,
                                              .total = int(permissions.size())};
        return std::make_unique<PermissionScreen>(test::screensBrand(), false, inputs, recorder.environment(),
                                                  nullptr, nullptr);
    }
    static void ticks(PermissionScreen& screen, int seconds) {
        for (int second = 0; second < seconds; ++second)
            screen.waitTick();
    }
    // The questions sent so far are answered, and the answers arrive.
    void answerQuestions() {
        for (const auto& work : std::exchange(recorder.background, {}))
            work();
        QCoreApplication::processEvents();
    }

    test::WizardSandbox sandbox;
    test::FakeWorkspace workspace;
    test::ScopedCurrent<Workspace> installed{&workspace};
    QSet<QString> granted;
    QList<KTPermission> permissions;
    test::RecordingEnvironment recorder;
    std::optional<KTGrantMap> answer;
    bool restartStarts = false;
    QList<QStringList> restarts;
};

TEST_F(Waiting, AFreshCopyIsAskedEveryThirdSecondOneQuestionAtATime) {
    auto access = screen(1);
    access->show();
    ticks(*access, 1);
    EXPECT_EQ(access->facts().waitedSeconds, 0);  // nothing counts before the press
    EXPECT_FALSE(access->waitTickerRunning());
    access->primaryAction();
    EXPECT_EQ(workspace.opened, QList<QUrl>{KTPermissionProbes::Pane::accessibility()});
    EXPECT_TRUE(access->waitTickerRunning());  // while the waiting text is on screen
    QList<int> askedAt;
    for (int second = 1; second <= 12; ++second) {
        const qsizetype before = recorder.background.size();
        ticks(*access, 1);
        if (recorder.background.size() > before)
            askedAt << second;
        if (second < 6 || second > 9)  // the question of the 6th second is still out at the 9th
            answerQuestions();
    }
    EXPECT_EQ(askedAt, (QList<int>{3, 6, 12}));
    access->hide();
    EXPECT_FALSE(access->waitTickerRunning());
}

TEST_F(Waiting, AFreshCopyHoldingTheGrantRestartsTheAppEvenAfterTheScreenIsGone) {
    auto access = screen(1);
    access->primaryAction();
    answer = KTGrantMap{{"disk", true}, {"access", false}};
    ticks(*access, 3);
    answerQuestions();
    EXPECT_TRUE(restarts.isEmpty());  // true for another permission only

    // The successor cannot start: the app keeps running, the screen waiting with its link.
    answer = KTGrantMap{{"access", true}};
    ticks(*access, 3);
    answerQuestions();
    EXPECT_EQ(restarts.size(), 1);
    EXPECT_TRUE(access->status().quitAndReopen);

    restartStarts = true;
    ticks(*access, 3);
    answerQuestions();
    EXPECT_EQ(access->status().text, "macOS has switched it on. Restarting Sampler so it can see that.");
    EXPECT_FALSE(access->status().quitAndReopen);
    ticks(*access, 3);
    EXPECT_TRUE(recorder.background.isEmpty());  // no question while restarting

    QFile::remove(sandbox.dotFile("sampler", "stale-grant-restarts.json"));  // two a while is the most
    access = screen(1);
    access->primaryAction();
    ticks(*access, 3);
    access.reset();
    answerQuestions();
    EXPECT_EQ(restarts, (QList<QStringList>(3, {"access"})));
}

TEST_F(Waiting, TheCompanionComesWithThePressAndAtTwentySecondsAndGoesWithTheScreen) {
    KTPermissionWizard::freshProcessGrants = nullptr;  // counting and offers work without it
    KTDragCompanion& companion = KTDragCompanion::shared();
    auto disk = screen(0);
    disk->primaryAction();
    EXPECT_EQ(companion.mode(), KTDragCompanionMode::manualAdd);
    companion.hide();
    ticks(*disk, 19);
    EXPECT_FALSE(companion.isShowing());
    ticks(*disk, 1);
    EXPECT_EQ(companion.mode(), KTDragCompanionMode::notInList);
    disk->setGrant(true, false);
    EXPECT_FALSE(companion.isShowing());

    disk = screen(0);
    disk->primaryAction();
    disk.reset();
    EXPECT_FALSE(companion.isShowing());
    companion.show(test::screensProduct(), test::screensBrand(), permissions[0],
                   KTDragCompanionMode::manualAdd);
    screen(1).reset();
    EXPECT_EQ(companion.permissionID(), "disk");  // shown for another permission: stays
    companion.hide();

    // A list that takes no dragged app: the program is shown in the file manager.
    test::FakeFileViewer viewer;
    test::ScopedCurrent<FileViewer> shown(&viewer);
    permissions[0].settingsURL = KTPermissionProbes::Pane::loginItems();
    screen(0)->primaryAction();
    EXPECT_EQ(viewer.revealed, QStringList{"/Applications/Sample.app"});
    EXPECT_FALSE(companion.isShowing());
}

TEST_F(Waiting, RelaunchesThatCannotStartLeaveTheScreenWaiting) {
    auto access = screen(1);
    access->primaryAction();
    for (QLabel* label : test::visibleChildren<QLabel>(access.get())) {
        if (label->objectName() == "status")
            emit label->linkActivated("kt-wizard://quit-and-reopen");
    }
    EXPECT_EQ(recorder.relaunches, QList<bool>{false});
    EXPECT_TRUE(access->status().quitAndReopen);

    // "Relaunch" on a ticked-but-dead grant records the try; the link then returns.
    auto disk = screen(0);
    disk->setGrant(false, true);
    EXPECT_FALSE(disk->status().quitAndReopen);
    disk->primaryAction();
    EXPECT_EQ(recorder.relaunches, (QList<bool>{false, false}));
    EXPECT_EQ(disk->primaryLabel(), "Enable Full Disk Access");
    EXPECT_TRUE(disk->status().quitAndReopen);
}

}  // namespace
}  // namespace rk
