// What the permission screen shows in each state: its sections, the notices
// for grants left on old copies, and the texts of its foot.

#include <gtest/gtest.h>

#include <functional>

#include "permissions/PermissionProbes.h"
#include "permissions/screens/PermissionActions.h"
#include "permissions/screens/PermissionSections.h"

namespace rk {
namespace {

using Badge = PermissionSections::Badge;
using Picture = PermissionSections::Picture;

const KTWizardProduct kProduct{.name = "Sampler"};
const char kStillOpen[] =
    "System Settings is still open from before, so it points at the old copy. Enable quits it in the "
    "background "
    "and reopens it at this list; nothing else on your screen is touched.";

KTPermission accessibility() {
    return KTPermission{.id = "access",
                        .title = "Accessibility",
                        .settingsURL = KTPermissionProbes::Pane::accessibility(),
                        .rowsToTick = {"Sampler"}};
}

// What the matrix compares: which sections show, not their words.
struct Shown {
    Badge badge = Badge::none;
    bool legacy = false;
    bool repair = false;
    bool guidance = true;
    bool restartLine = false;
    Picture picture = Picture::none;
    bool rowsBlock = false;
    bool listRows = false;
    bool note = false;
    bool markInTitle = true;
    friend bool operator==(const Shown&, const Shown&) = default;
};

Shown shown(const PermissionSections::Layout& layout) {
    const auto& g = layout.guidance;
    return Shown{.badge = layout.badge,
                 .legacy = layout.legacyNotice.has_value(),
                 .repair = layout.repairCallout,
                 .guidance = g.has_value(),
                 .restartLine = g && g->restartLine,
                 .picture = g ? g->picture : Picture::none,
                 .rowsBlock = g && g->rowsBlock,
                 .listRows = g && g->listRows,
                 .note = g && g->note,
                 .markInTitle = layout.markInTitle};
}

struct SectionCase {
    const char* name;
    std::function<void(KTPermission&, KTPermissionFacts&)> set;
    Shown expected;
};

void PrintTo(const SectionCase& c, std::ostream* os) {
    *os << c.name;
}

class Sections : public testing::TestWithParam<SectionCase> {};

TEST_P(Sections, ShowWhatTheStateCallsFor) {
    KTPermission permission = accessibility();
    KTPermissionFacts facts{.index = 1, .total = 3};
    GetParam().set(permission, facts);
    EXPECT_EQ(shown(PermissionSections::decide(permission, kProduct, facts)), GetParam().expected);
}

const SectionCase kSectionCases[] = {
    {"RequiredNotGranted", [](auto&, auto&) {}, {}},
    {"OptionalNotGranted", [](auto& p, auto&) { p.isOptional = true; }, {.badge = Badge::optional}},
    {"GrantedOptionalShowsGrantedAndNoGuidance",
     [](auto& p, auto& f) {
         p.isOptional = true;
         f.isGranted = true;
         f.forcedLegacyNotice = true;
     },
     {.badge = Badge::granted, .guidance = false}},
    {"TickedButDeadTakesTheGuidancePlace",
     [](auto&, auto& f) { f.isTickedDead = true; },
     {.repair = true, .guidance = false}},
    {"LegacyForcedWithAServiceDropsTheRestartRowAndNote",
     [](auto& p, auto& f) {
         f.forcedLegacyNotice = true;
         p.rowNote = "A note.";
     },
     {.legacy = true}},
    {"LegacyForcedWithoutAServiceShowsOnlyTheRestartRow",
     [](auto& p, auto& f) {
         p.settingsURL = KTPermissionProbes::Pane::loginItems();
         f.forcedLegacyNotice = true;
     },
     {.restartLine = true}},
    {"LegacyForAClearedService",
     [](auto&, auto& f) { f.clearedServices = {"Accessibility"}; },
     {.legacy = true}},
    {"LegacyKeepsRowsThatAreMoreThanTheApp",
     [](auto& p, auto& f) {
         f.clearedServices = {"Accessibility"};
         p.rowsToTick = {"Sampler", "Sampler Helper"};
         p.rowNote = "A note.";
     },
     {.legacy = true, .rowsBlock = true, .listRows = true}},
    {"RowsThatAreTheAppInAnotherCaseAreListed",
     [](auto& p, auto&) { p.rowsToTick = {"sampler"}; },
     {.rowsBlock = true, .listRows = true}},
    {"NoRowsButANote",
     [](auto& p, auto&) {
         p.rowsToTick = {};
         p.rowNote = "A note.";
     },
     {.rowsBlock = true, .note = true}},
    {"ManualDragWithoutItsImage",
     [](auto& p, auto&) {
         p.requiresManualDrag = true;
         p.dialogImageName = "dialog";
     },
     {.picture = Picture::dragGuide}},
    {"AnImageThatExists",
     [](auto& p, auto& f) {
         p.requiresManualDrag = true;
         p.dialogImageName = "dialog";
         f.hasDialogImage = true;
     },
     {.picture = Picture::dialogImage}},
    {"AHeroTakesTheMarkOutOfTheTitle",
     [](auto& p, auto&) { p.hero = [](bool) { return nullptr; }; },
     {.markInTitle = false}},
};

INSTANTIATE_TEST_SUITE_P(Matrix, Sections, testing::ValuesIn(kSectionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PermissionNotices, RestartLineLegacyTextAndDialogImageSize) {
    const char restarted[] =
        "System Settings was restarted in the background so it lists this copy; nothing else on your screen "
        "was "
        "touched.";
    struct Row {
        KTPermissionFacts facts;
        std::optional<QString> line;
    };
    const Row rows[] = {
        {{.asked = true, .forcedLegacyNotice = true, .settingsRestarted = true}, kStillOpen},
        {{.wouldQuitNow = true}, kStillOpen},
        {{.settingsRestarted = true}, std::nullopt},
        {{.asked = true, .wouldQuitNow = true}, std::nullopt},
        {{.asked = true, .settingsRestarted = true}, QString(restarted)},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PermissionSections::settingsRestartLine(row.facts), row.line);

    KTPermissionFacts facts{.bundleDisplayName = "Sampler Beta"};
    EXPECT_EQ(PermissionSections::legacyNoticeText(kProduct, facts),
              "Old copies of Sampler were holding this permission; they are cleared. Turn on Sampler Beta "
              "once more.");
    facts.forcedLegacyNotice = true;
    facts.plusLine = "Not in the list? Click + under it and choose Applications > Sampler.";
    EXPECT_EQ(PermissionSections::legacyNoticeText(kProduct, facts),
              "Old copies of Sampler were holding this permission; they are cleared. Turn on Sampler Beta "
              "once more. "
              "Not in the list? Click + under it and choose Applications > Sampler. " +
                  QString(kStillOpen));
    EXPECT_EQ(PermissionSections::dialogImageSize({600, 300}), QSizeF(276, 138));
    EXPECT_EQ(PermissionSections::dialogImageSize({600, 0}), QSizeF(298.08, 138));
}

TEST(PermissionActions, LabelPressAndStatusByState) {
    KTPermission p = accessibility();
    struct Row {
        const char* name;
        KTPermissionFacts facts;
        QString label;
        PermissionActions::Press press;
        QString status;
    };
    const QString waiting =
        "Switch on Sampler in the list that just opened. This screen moves on by itself. Still "
        "waiting after a minute?";
    const QString repair =
        "The repair above is the path here. This screen keeps checking, and the moment the grant "
        "really works it turns green.";
    const Row rows[] = {
        {"NotAsked",
         {},
         "Enable Accessibility",
         PermissionActions::Press::ask,
         "Opens System Settings at the Accessibility list."},
        {"ListenDenied",
         {.listenDenied = true},
         "Enable Input Monitoring",
         PermissionActions::Press::ask,
         "Opens System Settings at the Accessibility list."},
        {"Waiting", {.asked = true}, "Waiting for macOS", PermissionActions::Press::ask, waiting},
        {"Granted",
         {.isGranted = true, .asked = true},
         "Continue",
         PermissionActions::Press::continueOn,
         "Accessibility is on."},
        {"TickedDead",
         {.isTickedDead = true},
         "Relaunch Sampler",
         PermissionActions::Press::relaunch,
         repair},
        {"TickedDeadRelaunched",
         {.isTickedDead = true, .asked = true, .relaunchTried = true},
         "Waiting for macOS",
         PermissionActions::Press::ask,
         repair},
        {"Restarting",
         {.asked = true, .restarting = true},
         "Waiting for macOS",
         PermissionActions::Press::ask,
         "macOS has switched it on. Restarting Sampler so it can see that."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PermissionActions::primaryLabel(p, kProduct, row.facts), row.label) << row.name;
        EXPECT_EQ(PermissionActions::press(row.facts), row.press) << row.name;
        EXPECT_EQ(PermissionActions::status(p, kProduct, row.facts).text, row.status) << row.name;
    }
    EXPECT_EQ(PermissionActions::skipTitle(p, false), "Skip for now");
    p.isOptional = true;
    EXPECT_EQ(PermissionActions::skipTitle(p, false), "Skip");
    EXPECT_EQ(PermissionActions::skipTitle(p, true), std::nullopt);
}

TEST(PermissionActions, WaitLineNamesAnotherCopyAndLaterTheNewlyLaunchedOne) {
    KTPermissionFacts facts{
        .asked = true, .waitedSeconds = 24, .twinNames = {"Sampler Old"}, .ownNames = {"sampler"}};
    const QString other =
        "Switch on Sampler in the list that just opened. It may be listed as “Sampler Old”, the "
        "name of another copy of this app on this Mac. Look for that row too.";
    EXPECT_EQ(PermissionActions::waitLine(kProduct, facts), other);
    facts.waitedSeconds = 25;
    EXPECT_EQ(PermissionActions::waitLine(kProduct, facts),
              other + " Already on? macOS is reporting it only to a newly launched copy:");
    facts.ownNames = {"sampler old"};
    facts.waitedSeconds = 0;
    EXPECT_EQ(PermissionActions::waitLine(kProduct, facts),
              "Switch on Sampler in the list that just opened. Some lists show it as “Sampler Old”.");
}

TEST(PermissionActions, TheWaitingTextEscapesNamesAndEndsWithItsLink) {
    const KTWizardProduct odd{.name = "<b>Sam & Co</b>"};
    const PermissionActions::Status status = PermissionActions::status(accessibility(), odd, {.asked = true});
    EXPECT_EQ(
        PermissionActions::statusHtml(status, QColor("#aa7700")),
        "Switch on &lt;b&gt;Sam &amp; Co&lt;/b&gt; in the list that just opened. This screen moves on by "
        "itself. Still waiting after a minute? <a href=\"kt-wizard://quit-and-reopen\" style=\"color: "
        "#aa7700; text-decoration: underline; font-weight: 500\">Quit and Reopen</a>.");
}

TEST(PermissionActions, TheCompanionIsOfferedOnlyAtTheDelayWhileStillWaiting) {
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

}  // namespace
}  // namespace rk
