// What the screens decide and say: steps, the refresh pass, the permission
// screen's sections, notices and foot, the summary and done texts, the wrap.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "permissions/screens/BalancedWrap.h"
#include "permissions/screens/DoneScreen.h"
#include "permissions/screens/PermissionActions.h"
#include "permissions/screens/PermissionSections.h"
#include "permissions/screens/SummaryScreen.h"
#include "permissions/screens/WizardRefresh.h"
#include "permissions/screens/WizardSteps.h"
#include "support/Printers.h"
#include "support/ScreensFixture.h"

namespace rk {
namespace {

using Badge = PermissionSections::Badge;
using Picture = PermissionSections::Picture;

const KTWizardProduct kProduct{.name = "Sampler"};
const QString kWaiting =
    "Switch on Sampler in the list that just opened. This screen moves on by itself. Still waiting after a "
    "minute?";
const QString kStillOpen =
    "System Settings is still open from before, so it points at the old copy. Enable quits it in the "
    "background and reopens it at this list; nothing else on your screen is touched.";

KTPermission accessibility() {
    return KTPermission{.id = "access",
                        .title = "Accessibility",
                        .settingsURL = KTPermissionProbes::Pane::accessibility(),
                        .rowsToTick = {"Sampler"}};
}

// Which sections a layout shows, by name in a fixed order; not their words.
QString shown(const PermissionSections::Layout& layout) {
    const auto& g = layout.guidance;
    const std::pair<bool, const char*> sections[] = {
        {layout.badge == Badge::optional, "optional"},
        {layout.badge == Badge::granted, "granted"},
        {layout.legacyNotice.has_value(), "legacy"},
        {layout.repairCallout, "repair"},
        {!g, "no-guidance"},
        {g && g->restartLine, "restart"},
        {g && g->picture == Picture::dragGuide, "drag-guide"},
        {g && g->picture == Picture::dialogImage, "image"},
        {g && g->rowsBlock, "rows"},
        {g && g->listRows, "listed"},
        {g && g->note, "note"},
        {!layout.markInTitle, "no-mark"},
    };
    QStringList on;
    for (const auto& [shows, name] : sections)
        if (shows)
            on << name;
    return on.join(' ');
}

TEST(PermissionSections, ShowWhatTheStateCallsForWithTheirNoticesLabelsAndStatus) {
    using P = KTPermission;
    using F = KTPermissionFacts;
    const auto loginItems = KTPermissionProbes::Pane::loginItems;
    const std::tuple<const char*, std::function<void(P&, F&)>, QString> cases[] = {
        {"required, not granted", [](P&, F&) {}, ""},
        {"optional, not granted", [](P& p, F&) { p.isOptional = true; }, "optional"},
        {"granted", [](P& p, F& f) { p.isOptional = f.isGranted = f.forcedLegacyNotice = true; },
         "granted no-guidance"},
        {"ticked but dead", [](P&, F& f) { f.isTickedDead = true; }, "repair no-guidance"},
        {"legacy forced, a service", [](P& p, F& f) { f.forcedLegacyNotice = true, p.rowNote = "A note."; },
         "legacy"},
        {"legacy forced, no service",
         [&](P& p, F& f) { f.forcedLegacyNotice = true, p.settingsURL = loginItems(); }, "restart"},
        {"legacy cleared", [](P&, F& f) { f.clearedServices = {"Accessibility"}; }, "legacy"},
        {"legacy, more rows than the app",
         [](P& p, F& f) {
             f.clearedServices = {"Accessibility"}, p.rowsToTick << "Sampler 2", p.rowNote = "A note.";
         },
         "legacy rows listed"},
        {"the app in another case", [](P& p, F&) { p.rowsToTick = {"sampler"}; }, "rows listed"},
        {"no rows but a note", [](P& p, F&) { p.rowsToTick = {}, p.rowNote = "A note."; }, "rows note"},
        {"drag without its image", [](P& p, F&) { p.requiresManualDrag = true, p.dialogImageName = "d"; },
         "drag-guide"},
        {"an image",
         [](P& p, F& f) { p.requiresManualDrag = f.hasDialogImage = true, p.dialogImageName = "d"; },
         "image"},
        {"a hero", [](P& p, F&) { p.hero = [](bool) { return nullptr; }; }, "no-mark"},
    };
    for (const auto& [name, set, expected] : cases) {
        KTPermission permission = accessibility();
        KTPermissionFacts facts{.index = 1, .total = 3};
        set(permission, facts);
        EXPECT_EQ(shown(PermissionSections::decide(permission, kProduct, facts)), expected) << name;
    }

    const QString restarted =
        "System Settings was restarted in the background so it lists this copy; nothing else on your screen "
        "was touched.";
    const std::pair<KTPermissionFacts, std::optional<QString>> rows[] = {
        {{.asked = true, .forcedLegacyNotice = true, .settingsRestarted = true}, kStillOpen},
        {{.wouldQuitNow = true}, kStillOpen},
        {{.settingsRestarted = true}, std::nullopt},
        {{.asked = true, .wouldQuitNow = true}, std::nullopt},
        {{.asked = true, .settingsRestarted = true}, restarted},
    };
    for (const auto& [facts, line] : rows)
        EXPECT_EQ(PermissionSections::settingsRestartLine(facts), line);

    KTPermissionFacts facts{.bundleDisplayName = "Sampler Beta"};
    const QString notice =
        "Old copies of Sampler were holding this permission; they are cleared. Turn on Sampler Beta once "
        "more.";
    EXPECT_EQ(PermissionSections::legacyNoticeText(kProduct, facts), notice);
    facts.forcedLegacyNotice = true, facts.plusLine = "Not in the list? Click + under it.";
    EXPECT_EQ(PermissionSections::legacyNoticeText(kProduct, facts),
              notice + " Not in the list? Click + under it. " + kStillOpen);
    EXPECT_EQ(PermissionSections::dialogImageSize({600, 300}), QSizeF(276, 138));
    EXPECT_EQ(PermissionSections::dialogImageSize({600, 0}), QSizeF(298.08, 138));

    KTPermission p = accessibility();
    using enum PermissionActions::Press;
    const QString opens = "Opens System Settings at the Accessibility list.";
    const QString repair =
        "The repair above is the path here. This screen keeps checking, and the moment the grant "
        "really works it turns green.";
    const QString macOS = "Waiting for macOS";
    const QString restarting = "macOS has switched it on. Restarting Sampler so it can see that.";
    const std::tuple<KTPermissionFacts, QString, PermissionActions::Press, QString> states[] = {
        {{}, "Enable Accessibility", ask, opens},
        {{.listenDenied = true}, "Enable Input Monitoring", ask, opens},
        {{.asked = true}, macOS, ask, kWaiting},
        {{.isGranted = true, .asked = true}, "Continue", continueOn, "Accessibility is on."},
        {{.isTickedDead = true}, "Relaunch Sampler", relaunch, repair},
        {{.isTickedDead = true, .asked = true, .relaunchTried = true}, macOS, ask, repair},
        {{.asked = true, .restarting = true}, macOS, ask, restarting},
    };
    for (const auto& [facts, label, press, status] : states) {
        EXPECT_EQ(PermissionActions::primaryLabel(p, kProduct, facts), label);
        EXPECT_EQ(PermissionActions::press(facts), press) << label.toStdString();
        EXPECT_EQ(PermissionActions::status(p, kProduct, facts).text, status);
    }
    EXPECT_EQ(PermissionActions::skipTitle(p, false), "Skip for now");
    p.isOptional = true;
    EXPECT_EQ(PermissionActions::skipTitle(p, false), "Skip");
    EXPECT_EQ(PermissionActions::skipTitle(p, true), std::nullopt);

    KTPermissionFacts twin{
        .asked = true, .waitedSeconds = 24, .twinNames = {"Sampler Old"}, .ownNames = {"sampler"}};
    const QString other =
        "Switch on Sampler in the list that just opened. It may be listed as “Sampler Old”, the "
        "name of another copy of this app on this Mac. Look for that row too.";
    EXPECT_EQ(PermissionActions::waitLine(kProduct, twin), other);
    twin.waitedSeconds = 25;
    EXPECT_EQ(PermissionActions::waitLine(kProduct, twin),
              other + " Already on? macOS is reporting it only to a newly launched copy:");
    twin.ownNames = {"sampler old"};
    twin.waitedSeconds = 0;
    EXPECT_EQ(PermissionActions::waitLine(kProduct, twin),
              "Switch on Sampler in the list that just opened. Some lists show it as “Sampler Old”.");

    const KTWizardProduct odd{.name = "<b>Sam & Co</b>"};
    const PermissionActions::Status status = PermissionActions::status(accessibility(), odd, {.asked = true});
    EXPECT_EQ(
        PermissionActions::statusHtml(status, QColor("#aa7700")),
        QString(kWaiting).replace("Sampler", "&lt;b&gt;Sam &amp; Co&lt;/b&gt;") +
            " <a href=\"kt-wizard://quit-and-reopen\" style=\"color: #aa7700; text-decoration: underline; "
            "font-weight: 500\">Quit and Reopen</a>.");

    using Facts = PermissionActions::WaitFacts;
    const Facts waiting{.waitedSeconds = 20, .dragCapable = true, .hasBrand = true};
    EXPECT_TRUE(PermissionActions::offersCompanion(waiting, 20));
    const std::pair<const char*, std::function<void(Facts&)>> blockers[] = {
        {"21s", [](Facts& f) { f.waitedSeconds = 21; }},
        {"forced", [](Facts& f) { f.forcedDidAsk = true; }},
        {"granted", [](Facts& f) { f.isGranted = true; }},
        {"dead", [](Facts& f) { f.isTickedDead = true; }},
        {"restarting", [](Facts& f) { f.restarting = true; }},
        {"no drag", [](Facts& f) { f.dragCapable = false; }},
        {"no brand", [](Facts& f) { f.hasBrand = false; }},
    };
    for (const auto& [name, block] : blockers) {
        Facts facts = waiting;
        block(facts);
        EXPECT_FALSE(PermissionActions::offersCompanion(facts, 20)) << name;
    }
}

using Screen = KTWizardSteps::Screen;
using Footer = KTWizardSteps::Footer;

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

// A text of five 40-point words, one 14-point line for every run of words
// that fits the proposed width; counts each measurement.
KTBalancedWrap::Measure fiveWords(int& measurements) {
    return [&measurements](const KTBalancedWrap::Proposal& p) {
        ++measurements;
        const int perLine = std::max(1, int(std::floor(p.width.value_or(1e9) / 40)));
        return QSizeF(std::min(5, perLine) * 40, (5 + perLine - 1) / perLine * 14);
    };
}

KTPermission named(const QString& title, bool optional = false, std::optional<QString> cost = std::nullopt) {
    return KTPermission{
        .id = title.toLower(), .title = title, .isOptional = optional, .costOfSkipping = cost};
}

TEST(ScreenTexts, SummaryAndDoneTextsTheirWrapTheStepsAndTheRefreshPass) {
    const std::tuple<std::optional<QString>, int, QString> rows[] = {
        {std::nullopt, 1, "Sampler needs one permission from macOS. Here is what it is for."},
        {"  It tidies your lists.\n", 3,
         "It tidies your lists. It needs three permissions from macOS. Here is what each one is for."},
        {std::nullopt, 0, "Sampler needs zero permissions from macOS. Here is what each one is for."},
        {" \n ", 9, "Sampler needs nine permissions from macOS. Here is what each one is for."},
        {std::nullopt, 12, "Sampler needs 12 permissions from macOS. Here is what each one is for."},
    };
    for (const auto& [lead, count, expected] : rows)
        EXPECT_EQ(SummaryScreen::subtitle({.name = "Sampler", .summaryLead = lead}, count), expected);
    EXPECT_EQ(SummaryScreen::footerText({.name = "Sampler"}),
              "You can change any of these later in System Settings, or from Sampler Settings.");
    EXPECT_EQ(SummaryScreen::footerText({.name = "Sampler", .reopenHint = "its menu"}),
              "You can change any of these later in System Settings, or from its menu.");

    const KTPermission disk = named("Full Disk Access");
    const KTPermission access = named("Accessibility");
    const KTPermission camera = named("Camera");
    const KTPermission screen = named("Screen Recording", true, "  Rows are described in words instead. \n");
    const KTPermission mic = named("Microphone", true, " ");
    const QString needsAccess =
        "Sampler needs Accessibility to work. Go back to turn it on, or turn it on any time later.";
    const std::pair<QList<KTPermission>, QString> offRows[] = {
        {{}, "Sampler has everything it needs."},
        {{access}, needsAccess},
        {{disk, access},
         "Sampler needs Full Disk Access and Accessibility to work. Go back to turn them on, or turn them on "
         "any time later."},
        {{disk, access, camera},
         "Sampler needs Full Disk Access, Accessibility, and Camera to work. Go back to turn them on, or "
         "turn them on any time later."},
        {{access, screen}, needsAccess},
        {{screen}, "Sampler works now. Screen Recording is still off. Rows are described in words instead."},
        {{mic}, "Sampler works now. Microphone is still off. You can turn it on any time."},
        {{screen, mic},
         "Sampler works now. Screen Recording and Microphone are still off. You can turn them on any time."},
    };
    for (const auto& [off, sentence] : offRows) {
        EXPECT_EQ(DoneScreen::title(off), off.isEmpty() ? "All set." : "Ready when you are.");
        EXPECT_EQ(DoneScreen::sentence(off, "Sampler"), sentence);
    }
    // An id missing from the map counts as off.
    EXPECT_EQ(DoneScreen::outstanding({disk, access}, {{"full disk access", true}}).size(), 1);
    // The page's name never breaks.
    const QString nbsp(QChar(0x00A0));
    EXPECT_EQ(DoneScreen::footerText({.name = "Sampler"}),
              "Change these any time from Sampler Settings, or in System Settings" + nbsp + "›" + nbsp +
                  "Privacy" + nbsp + "&" + nbsp + "Security.");

    EXPECT_EQ(KTBalancedWrap::sizeThatFits({300, 50}, {}), QSizeF(0, 0)) << "no child";
    for (const std::optional<double> width :
         {std::optional<double>(), std::optional<double>(INFINITY), std::optional<double>(NAN),
          std::optional(1.0), std::optional(-4.0)}) {
        QList<KTBalancedWrap::Proposal> asked;
        const QSizeF size = KTBalancedWrap::sizeThatFits({width, 50}, [&](const KTBalancedWrap::Proposal& p) {
            asked << p;
            return QSizeF(7, 9);
        });
        EXPECT_EQ(size, QSizeF(7, 9));
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked[0].width.has_value(), width.has_value());
        EXPECT_TRUE(!width || std::isnan(*width) ? true : *asked[0].width == *width);
        EXPECT_EQ(asked[0].height, 50);
    }

    // An orphan word is pulled back after fourteen halvings, never wider than
    // offered nor taller than the natural size.
    int measurements = 0;  // five words: four and one at 170
    const QSizeF size = KTBalancedWrap::sizeThatFits({170, std::nullopt}, fiveWords(measurements));
    EXPECT_EQ(measurements, 16) << "natural, 14 halvings, the check";
    EXPECT_EQ(size.height(), 28);
    EXPECT_NEAR(size.width(), 120 + 1, 0.05) << "three and two words, plus one point";
    EXPECT_EQ(KTBalancedWrap::sizeThatFits({200.5, std::nullopt}, fiveWords(measurements)), QSizeF(200.5, 14))
        << "a line that just fits gets no slack beyond the offer";
    // A child that grows taller at any narrower width: the natural size.
    measurements = 0;
    const QSizeF natural =
        KTBalancedWrap::sizeThatFits({300, std::nullopt}, [&](const KTBalancedWrap::Proposal& p) {
            ++measurements;
            return QSizeF(250, *p.width >= 300 ? 20.0 : 20.6);
        });
    EXPECT_EQ(natural, QSizeF(250, 20));
    EXPECT_EQ(measurements, 16);

    // The screen and footer of each step for none to three permissions, and the refresh pass.
    const Footer none{};
    const Footer first{.shown = true, .dividerOpacity = 0, .backAllowed = false};
    const Footer later{.shown = true, .dividerOpacity = 0.5, .backAllowed = true};
    const Footer pastDone{.shown = true, .dividerOpacity = 0.5, .backAllowed = false};
    const std::tuple<int, int, Screen, Footer> steps[] = {
        {0, -1, Screen::summary, none}, {0, 0, Screen::done, none},        {0, 1, Screen::done, pastDone},
        {1, -3, Screen::summary, none}, {1, 0, Screen::permission, none},  {1, 1, Screen::done, later},
        {1, 6, Screen::done, pastDone}, {2, 0, Screen::permission, first}, {2, 1, Screen::permission, later},
        {2, 2, Screen::done, later},    {3, 0, Screen::permission, first}, {3, 2, Screen::permission, later},
        {3, 3, Screen::done, later},    {3, 8, Screen::done, pastDone},
    };
    for (const auto& [count, step, screen, footer] : steps) {
        EXPECT_EQ(KTWizardSteps::screen(step, count), screen) << count << " at " << step;
        EXPECT_EQ(KTWizardSteps::footer(step, count), footer) << count << " at " << step;
    }
    EXPECT_EQ(KTWizardSteps::advance(2, 3), 3);
    EXPECT_EQ(KTWizardSteps::advance(3, 3), 3);

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

    // The record is written only when the grant map changes; forced answers take
    // the place of the probes.
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

    KTRefreshState empty;
    KTWizardRefresh::run({}, {}, empty, recorder.environment());
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
