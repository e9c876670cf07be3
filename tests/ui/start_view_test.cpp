#include <gtest/gtest.h>

#include "support/LaunchPlistWriter.h"
#include "support/ModelFakes.h"
#include "support/UiProbe.h"
#include "ui/StartView.h"

namespace rk {
namespace {

using test::press;
using test::shows;

TEST(ScanLineTest, SentencesFollowTheCounts) {
    const struct {
        int jobs;
        int gone;
        const char* text;
    } cases[] = {
        {0, 0, "Nothing is in this Mac's startup folders."},
        {1, 0,
         "One background job in this Mac's startup folders, and every one points at a program that is still "
         "here."},
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
    for (const auto& c : cases)
        EXPECT_EQ(ScanLine::text(c.jobs, c.gone), QString::fromUtf8(c.text)) << c.jobs << "/" << c.gone;
}

// A job in the person's LaunchAgents whose program is an app in `apps`;
// with `present` its program exists.
void addJob(test::ModelWorld& world, const QString& label, bool present,
            const QString& apps = QStringLiteral("/Applications")) {
    const QString program = apps + "/" + label + ".app/Contents/MacOS/run";
    world.root.writeFile(world.root.paths().userLaunchAgents() + "/" + label + ".plist",
                         test::LaunchPlistWriter::write({label, program, {}}));
    if (present)
        world.root.writeFile(program, "#!/bin/sh\n");
}

// The button appears only when a job is gone and counts all of them; it
// opens the gone jobs alone, the home folder written "~"; a new page starts
// closed.
TEST(StartViewJobs, TheShowButtonOpensTheGoneJobsOnly) {
    test::ensureUiApplication();
    const struct {
        int kept;
        bool gone;
        QString show, hide;
    } cases[] = {{0, false, {}, {}},
                 {1, false, {}, {}},
                 {0, true, "Show it", "Hide it"},
                 {4, true, "Show them", "Hide them"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept + 10 * c.gone);
        test::ModelWorld world;
        for (int i = 0; i < c.kept; ++i)
            addJob(world, "com.example.TESTkept" + QString::number(i), true);
        if (c.gone)
            addJob(world, "com.example.TESTgone", false, QString::fromLatin1(world.home) + "/Applications");
        AppModel& m = world.startModel();
        StartView page(m, c.kept > 1);
        EXPECT_TRUE(shows(&page, ScanLine::text(c.kept + c.gone, c.gone)));
        if (c.show.isEmpty()) {
            EXPECT_FALSE(test::buttonTitled(&page, "Show it") || test::buttonTitled(&page, "Show them"));
            continue;
        }
        EXPECT_FALSE(shows(&page, "com.example.TESTgone"));
        press(&page, c.show);
        test::settle();
        EXPECT_TRUE(page.showsJobs());
        EXPECT_TRUE(shows(&page, "com.example.TESTgone"));
        EXPECT_TRUE(shows(&page,
                          "Runs ~/Applications/com.example.TESTgone.app/Contents/MacOS/run, which is "
                          "gone. Set up by: you."));
        EXPECT_FALSE(shows(&page, "com.example.TESTkept0"));
        press(&page, c.hide);
        test::settle();
        EXPECT_FALSE(shows(&page, "com.example.TESTgone"));
        press(&page, c.show);
        EXPECT_FALSE(StartView(m, false).showsJobs());
    }
}

class StartViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }
    test::ModelWorld world;
    test::RecordingActions actions;
};

TEST_F(StartViewTest, GrantRowsAndPermissionButtonFollowTheGrants) {
    world.photo.permitted = false;
    AppModel& m = world.startModel();
    StartView page(m, false);
    for (const char* row : {"Full Disk Access: on", "Accessibility: on", "Screen Recording (optional): off"})
        EXPECT_TRUE(shows(&page, row)) << row;
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
