// The steps of the wizard: which screen and footer each step shows for none
// to three permissions; and one refresh pass: grant answers, the stale-grant
// relaunch and its conditions, ticked-but-dead answers and when the record is
// rewritten.

#include <gtest/gtest.h>

#include "permissions/screens/WizardRefresh.h"
#include "permissions/screens/WizardSteps.h"
#include "support/ScreensFixture.h"

namespace rk {
namespace {

using Screen = KTWizardSteps::Screen;
using Footer = KTWizardSteps::Footer;

TEST(WizardSteps, ScreenAndFooterForNoneToThreePermissions) {
    const Footer none{};
    const Footer first{.shown = true, .dividerOpacity = 0, .backAllowed = false};
    const Footer later{.shown = true, .dividerOpacity = 0.5, .backAllowed = true};
    const Footer pastDone{.shown = true, .dividerOpacity = 0.5, .backAllowed = false};
    const std::tuple<int, int, Screen, Footer> rows[] = {
        {0, -1, Screen::summary, none}, {0, 0, Screen::done, none},        {0, 1, Screen::done, pastDone},
        {1, -3, Screen::summary, none}, {1, 0, Screen::permission, none},  {1, 1, Screen::done, later},
        {1, 6, Screen::done, pastDone}, {2, 0, Screen::permission, first}, {2, 1, Screen::permission, later},
        {2, 2, Screen::done, later},    {3, 0, Screen::permission, first}, {3, 2, Screen::permission, later},
        {3, 3, Screen::done, later},    {3, 8, Screen::done, pastDone},
    };
    for (const auto& [count, step, screen, footer] : rows) {
        EXPECT_EQ(KTWizardSteps::screen(step, count), screen) << count << " at " << step;
        EXPECT_EQ(KTWizardSteps::footer(step, count), footer) << count << " at " << step;
    }
    EXPECT_EQ(KTWizardSteps::advance(2, 3), 3);
    EXPECT_EQ(KTWizardSteps::advance(3, 3), 3);
}

struct WatchCase {
    const char* name;
    bool relaunches = false, listenDeniedNow = false, sawDenyBefore = true, restartsOnStaleGrant = true;
    bool didNotHold = false, granted = false, alreadyTried = false, forcedGrants = false;
    bool accessibilityPane = true;
};

const WatchCase kWatchCases[] = {
    {.name = "all hold", .relaunches = true},
    {.name = "listen denied in this pass", .listenDeniedNow = true},
    {.name = "never saw a deny", .sawDenyBefore = false},
    {.name = "restart off", .restartsOnStaleGrant = false},
    {.name = "did not hold before", .didNotHold = true},
    {.name = "granted", .granted = true},
    {.name = "granted with the flag set", .granted = true, .alreadyTried = true},
    {.name = "already tried", .alreadyTried = true},
    {.name = "forced grants, even empty", .forcedGrants = true},
    {.name = "another pane", .accessibilityPane = false},
};

TEST(StaleGrantWatch, RelaunchesOnlyWhenEveryConditionHolds) {
    for (const WatchCase& c : kWatchCases) {
        SCOPED_TRACE(c.name);
        test::RecordingEnvironment recorder;
        recorder.listenDenied = c.listenDeniedNow;
        const QSet<QString> access{"access"};
        recorder.didNotHold = c.didNotHold ? access : QSet<QString>{};
        recorder.tried = c.alreadyTried ? access : QSet<QString>{};
        int listenReads = 0;
        KTWizardEnvironment environment = recorder.environment();
        environment.listenDenied = [&] { return ++listenReads, c.listenDeniedNow; };
        KTPermission p = test::samplePermission("access", c.granted);
        p.settingsURL = c.accessibilityPane ? KTPermissionProbes::Pane::accessibility()
                                            : KTPermissionProbes::Pane::screenRecording();
        p.restartsOnStaleGrant = c.restartsOnStaleGrant;
        p.checkboxProbe = [] { return true; };
        const KTRefreshForcing forcing{.grants = c.forcedGrants ? std::optional(KTGrantMap{}) : std::nullopt};
        KTRefreshState state{.granted = {{"access", c.granted}}, .sawListenDeny = c.sawDenyBefore};
        const KTRefreshState before = state;

        const auto outcome = KTWizardRefresh::run({p}, forcing, state, environment);

        EXPECT_EQ(outcome == KTWizardRefresh::Outcome::relaunched, c.relaunches);
        EXPECT_EQ(recorder.relaunches, c.relaunches ? QList<bool>{true} : QList<bool>{});
        EXPECT_EQ(listenReads, c.forcedGrants || !c.accessibilityPane ? 0 : 1);
        EXPECT_EQ(state.sawListenDeny, c.sawDenyBefore || (c.listenDeniedNow && listenReads > 0));
        if (c.relaunches) {
            // Nothing is published; the flag keeps a second relaunch from happening.
            EXPECT_EQ(state.granted, before.granted);
            EXPECT_EQ(state.tickedDead, before.tickedDead);
            EXPECT_EQ(recorder.recordWrites, 0);
            EXPECT_TRUE(recorder.tried.contains("access"));
        } else {
            // A granted permission is never ticked-but-dead and loses its flag.
            EXPECT_EQ(state.tickedDead, (KTGrantMap{{"access", !c.granted}}));
            EXPECT_EQ(recorder.tried.contains("access"), c.alreadyTried && !c.granted);
        }
    }
}

// The record is written only when the grant map changes; forced answers take
// the place of the probes.
TEST(WizardRefresh, TheRecordIsWrittenOnlyWhenTheGrantMapChanges) {
    test::RecordingEnvironment recorder;
    QSet<QString> granted;
    const QList<KTPermission> permissions = test::screensPermissions(&granted);
    KTRefreshState state;
    const auto pass = [&] { KTWizardRefresh::run(permissions, {}, state, recorder.environment()); };

    pass();
    EXPECT_EQ(recorder.recordWrites, 1) << "the first pass fills the empty map";
    pass();
    EXPECT_EQ(recorder.recordWrites, 1);
    granted = {"disk", "screen"};
    pass();
    EXPECT_EQ(recorder.recordWrites, 2) << "two answers changed: one write";
    EXPECT_EQ(state.granted, (KTGrantMap{{"disk", true}, {"access", false}, {"screen", true}}));

    KTRefreshState none;
    KTWizardRefresh::run({}, {}, none, recorder.environment());
    EXPECT_EQ(recorder.recordWrites, 2) << "no permissions: nothing to write";

    int probes = 0;
    KTPermission forced = test::samplePermission("forced");
    forced.probe = [&] { return ++probes, true; };
    KTPermission probed = test::samplePermission("probed");
    probed.checkboxProbe = [] { return true; };
    const KTRefreshForcing forcing{.grants = KTGrantMap{{"forced", false}},
                                   .tickedDead = QSet<QString>{"forced"}};
    state = {};
    KTWizardRefresh::run({forced, probed}, forcing, state, recorder.environment());
    EXPECT_EQ(probes, 0);
    EXPECT_EQ(state.granted, (KTGrantMap{{"forced", false}, {"probed", false}}));
    EXPECT_EQ(state.tickedDead, (KTGrantMap{{"forced", true}, {"probed", false}}))
        << "forced ticked-but-dead ids replace every checkbox probe";
}

}  // namespace
}  // namespace rk
