#include <gtest/gtest.h>

#include "app/model/AppModel.h"
#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "support/UiProbe.h"
#include "ui/Controls.h"
#include "ui/StartView.h"

namespace rk {
namespace {

using test::press;
using test::shows;

class StartViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }

    // A job in the person's LaunchAgents whose program is an app in `apps`;
    // with `present` its program exists.
    void addJob(const QString& label, bool present, const QString& apps = QStringLiteral("/Applications")) {
        const QString program = apps + QLatin1Char('/') + label + QStringLiteral(".app/Contents/MacOS/run");
        test::LaunchPlistWriter::Job job;
        job.label = label;
        job.program = program;
        world.root.writeFile(world.root.paths().userLaunchAgents() + "/" + label + ".plist",
                             test::LaunchPlistWriter::write(job));
        if (present) {
            world.root.writeFile(program, "#!/bin/sh\n");
        }
    }

    test::ModelWorld world;
    test::RecordingActions actions;
};

TEST(ScanLineTest, SentencesFollowTheCounts) {
    struct Case {
        int jobs;
        int gone;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "Nothing is in this Mac's startup folders."},
        {1, 0,
         "One background job in this Mac's startup folders, and every one points at a program that is still "
         "here."},
        {4, 0,
         "Four background jobs in this Mac's startup folders, and every one points at a program that is "
         "still here."},
        {3, 1,
         "Three background jobs in this Mac's startup folders; one of them points at a program that is no "
         "longer there."},
        {5, 2,
         "Five background jobs in this Mac's startup folders; two of them point at a program that is no "
         "longer there."},
        {25, 12,
         "25 background jobs in this Mac's startup folders; 12 of them point at a program that is no longer "
         "there."},
        {3, 3,
         "Three background jobs in this Mac's startup folders, and all of them point at programs that are no "
         "longer there."},
        {1, 1,
         "One background job in this Mac's startup folders points at a program that is no longer there."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScanLine::text(c.jobs, c.gone), QString::fromUtf8(c.text)) << c.jobs << "/" << c.gone;
    }
    EXPECT_EQ(ScanLine::word(0), QStringLiteral("no"));
    EXPECT_EQ(ScanLine::word(9), QStringLiteral("nine"));
    EXPECT_EQ(ScanLine::word(10), QStringLiteral("10"));
}

TEST_F(StartViewTest, NoJobsMeansNoShowButton) {
    AppModel& m = world.startModel();
    StartView page(m, false);
    EXPECT_TRUE(shows(&page, "Nothing is in this Mac's startup folders."));
    EXPECT_EQ(test::buttonTitled(&page, "Show them"), nullptr);
    EXPECT_EQ(test::buttonTitled(&page, "Show it"), nullptr);
}

TEST_F(StartViewTest, JobsPresentNoneGoneHaveNoShowButton) {
    addJob(QStringLiteral("com.example.TESTkept"), true);
    AppModel& m = world.startModel();
    StartView page(m, false);
    EXPECT_TRUE(shows(&page, ScanLine::text(1, 0)));
    EXPECT_EQ(test::buttonTitled(&page, "Show it"), nullptr);
}

TEST_F(StartViewTest, CountOfAllJobsDecidesTheButtonAndGoneJobsOpen) {
    addJob(QStringLiteral("com.example.TESTgone"), false,
           QString::fromLatin1(test::ModelWorld::home) + QStringLiteral("/Applications"));
    for (int i = 0; i < 4; ++i) {
        addJob(QStringLiteral("com.example.TESTkept%1").arg(i), true);
    }
    AppModel& m = world.startModel();
    StartView page(m, true);
    EXPECT_TRUE(shows(&page, ScanLine::text(5, 1)));
    EXPECT_FALSE(shows(&page, "com.example.TESTgone"));
    press(&page, "Show them");
    test::settle();
    EXPECT_TRUE(page.showsJobs());
    EXPECT_NE(test::buttonTitled(&page, "Hide them"), nullptr);
    EXPECT_TRUE(shows(&page, "com.example.TESTgone"));
    // The home folder is written "~"; kept jobs are not listed.
    EXPECT_TRUE(
        shows(&page, QStringLiteral("Runs ~/Applications/com.example.TESTgone.app/Contents/MacOS/run, which "
                                    "is gone. Set up by: you.")));
    EXPECT_FALSE(shows(&page, "com.example.TESTkept0"));
    press(&page, "Hide them");
    test::settle();
    EXPECT_FALSE(shows(&page, "com.example.TESTgone"));
}

TEST_F(StartViewTest, OneGoneJobReadsShowItAndEachNewPageStartsClosed) {
    addJob("com.example.TESTonly", false);
    AppModel& m = world.startModel();
    {
        StartView page(m, false);
        EXPECT_TRUE(shows(&page, ScanLine::text(1, 1)));
        press(&page, "Show it");
        test::settle();
        EXPECT_TRUE(page.showsJobs());
        EXPECT_NE(test::buttonTitled(&page, "Hide it"), nullptr);
    }
    StartView again(m, false);
    EXPECT_FALSE(again.showsJobs());
}

TEST_F(StartViewTest, GrantRowsAndPermissionButtonFollowTheGrants) {
    world.photo.permitted = false;
    AppModel& m = world.startModel();
    ASSERT_TRUE(m.grants().fullDisk);
    ASSERT_TRUE(m.grants().accessibility);
    StartView page(m, false);
    EXPECT_TRUE(shows(&page, "Full Disk Access: on"));
    EXPECT_TRUE(shows(&page, "Accessibility: on"));
    EXPECT_TRUE(shows(&page, "Screen Recording (optional): off"));
    EXPECT_NE(test::buttonTitled(&page, "Review permissions"), nullptr);

    // Accessibility taken away: the next probe turns the row and the button.
    world.settings.trusted = false;
    m.refreshGrants();
    test::settle();
    EXPECT_TRUE(shows(&page, "Accessibility: off"));
    EXPECT_NE(test::buttonTitled(&page, "Set up permissions"), nullptr);
}

TEST_F(StartViewTest, ButtonsOpenTheWizardCountingEachPressAndGoToTheSettingsSteps) {
    AppModel& m = world.startModel();
    StartView page(m, false);
    const QString title = StartView::permissionTitle(m.grants());
    press(&page, title);
    press(&page, title);
    EXPECT_EQ(actions.permissions, 2);
    EXPECT_EQ(world.counters->snapshot().value(QStringLiteral("permissions.open")), 2);
    press(&page, "Start with Accessibility  →");
    EXPECT_EQ(m.step(), Step::accessibility);
    press(&page, "Go to Login Items");
    EXPECT_EQ(m.step(), Step::loginItems);
}

}  // namespace
}  // namespace rk
