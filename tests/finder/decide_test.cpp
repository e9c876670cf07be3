// The verdicts the person acts on. Every expected sentence below is written
// out in full on purpose: a changed word is a changed product.

#include "finder/Decide.h"

#include <gtest/gtest.h>

#include <ostream>

namespace rk {

void PrintTo(const Finding& f, std::ostream* os) {
    *os << "{" << f.id.toStdString() << " " << rawValue(f.verdict).toStdString() << " shown=\""
        << f.shown.toStdString() << "\" section=" << (f.section ? rawValue(*f.section).toStdString() : "none")
        << " count=" << f.count << " what=\"" << f.what.toStdString()
        << "\" tell=" << (f.tell ? "\"" + f.tell->toStdString() + "\"" : std::string("none")) << " evidence=["
        << f.evidence.join(" | ").toStdString() << "] keys=[" << f.keys.join(", ").toStdString() << "]}";
}

void PrintTo(const Mark& m, std::ostream* os) {
    *os << "{" << rawValue(m.kind).toStdString() << " " << m.row.title.toStdString() << "#" << m.row.index
        << " " << rawValue(m.row.section).toStdString() << " \"" << m.label.toStdString() << "\"}";
}

namespace {

using V = Finding::Verdict;
using K = Mark::Kind;
using Section = std::optional<PaneSection>;
using Tell = std::optional<QString>;
using Rows = QList<PaneRow>;
constexpr auto acc = PaneSection::accessibility;
constexpr auto login = PaneSection::openAtLogin;
constexpr auto bg = PaneSection::background;
constexpr auto none = std::nullopt;

// Each row gets its own frame, so a mark on the wrong row never compares equal.
PaneRow row(const QString& title, int index, std::optional<bool> blank = std::nullopt,
            PaneSection section = acc) {
    const double y = 200 + 1000 * int(section) + 32 * index;
    return PaneRow{section, title, Rect{100, y, 420, 28}, index, section != bg, blank};
}

Candidate cand(const QString& key, const QStringList& names, Liveness liveness, const QString& kind = "app",
               std::optional<QString> testWhy = std::nullopt) {
    return Candidate{key, names, std::move(liveness), std::move(testWhy), kind, "The app " + key + "."};
}

Candidate gone(const QString& key, const QStringList& names, const QString& evidence = "") {
    return cand(key, names,
                Liveness::gone(evidence.isEmpty() ? "no installed app answers to " + key : evidence));
}

Candidate live(const QString& key, const QStringList& names) {
    return cand(key, names, Liveness::live("installed at /Applications/" + key + ".app"));
}

// Findings by verdict; the id is the verdict's prefix and the title.
Finding removal(const QString& title, Section section, int count, const QString& what,
                const QStringList& evidence, const QStringList& keys, Tell tell = none) {
    return {"r:" + title, V::remove, title, section, count, what, tell, evidence, keys};
}
Finding looking(const QString& title, Section section, int count, const QString& what, Tell tell,
                const QStringList& evidence) {
    return {"l:" + title, V::look, title, section, count, what, tell, evidence, {}};
}
Finding keeping(const QString& title, Section section, int count, const QString& what,
                const QStringList& evidence) {
    return {"k:" + title, V::keep, title, section, count, what, none, evidence, {}};
}
Finding testBuild(const QString& key, const QString& shown, const QString& why, const QString& evidence) {
    const QString what = "Looks like a test build (" + why +
                         "), but it is still on this Mac. Remove it only if you know it is not needed.";
    return {"t:" + key, V::look, shown, none, 1, what, none, {key + ": " + evidence}, {}};
}
const QString hiddenWhat =
    "macOS keeps a record of this but does not show it on the page, so there is nothing to click. It is "
    "harmless.";
Finding hidden(const QString& key, const QString& shown, const QString& evidence) {
    return {"h:" + key, V::hidden, shown, none, 1, hiddenWhat, none, {evidence}, {}};
}

// Marks name their row by its position in the case's rows.
struct MarkAt {
    K kind;
    int row;
    QString label;
};

struct Case {
    std::string name;
    QList<Candidate> candidates;
    std::optional<QList<PaneRow>> rows;
    QStringList offscreen;
    QList<Finding> findings;
    QList<MarkAt> marks;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Shared actors: two old copies and one current copy of "Toolbox".
const Candidate oldA = gone("com.a.toolbox", {"Toolbox", "com.a.toolbox", "toolbox"});
const Candidate oldB = gone("com.b.toolbox", {"Toolbox", "com.b.toolbox", "toolbox"});
const Candidate current = live("com.c.toolbox", {"Toolbox", "com.c.toolbox", "toolbox"});
const QString oldAEv = "com.a.toolbox: no installed app answers to com.a.toolbox";
const QString oldBEv = "com.b.toolbox: no installed app answers to com.b.toolbox";
const QString currentEv = "com.c.toolbox: installed at /Applications/com.c.toolbox.app";
const QString oneOld = "An old app: no installed app answers to com.a.toolbox. Nothing uses it anymore.";
const QString twoOld =
    "2 old copies of this app: no installed app answers to com.a.toolbox. Nothing uses them anymore.";
const QString furtherDown = " It is further down the list: scroll down in System Settings.";
const QString goneApp = "An old app: gone. Nothing uses it anymore.";
const QString twoGoneApps = "2 old copies of this app: gone. Nothing uses them anymore.";
const QString tellRemove =
    "Remove the Toolbox row with the blank white icon. Leave every Toolbox row that shows a real icon.";
const QString askForPhoto =
    "Several rows are named Toolbox; one or more are old. Turn on the photo (Screen Recording) and I can "
    "point at the exact row.";
const QString iconsDoNotTell =
    "Several rows are named Toolbox and the icons do not single out the old one. Worth a look; nothing is "
    "marked.";
const QString installedNow = "This Toolbox is the one installed now. Leave it.";
MarkAt removeAt(int row) {
    return {K::remove, row, "Remove this"};
}
MarkAt keepAt(int row) {
    return {K::keep, row, "KEEP THIS ROW"};
}

// The removal of one record no installed app answers to; `down` follows the
// sentence of a title further down.
Finding removeGone(const QString& title, Section section, const QString& key, const QString& down = "") {
    return removal(title, section, 1,
                   "An old app: no installed app answers to " + key + ". Nothing uses it anymore." + down,
                   {key + ": no installed app answers to " + key}, {key});
}

Finding keepReal() {
    return keeping("Toolbox", acc, 1, "The Toolbox with a real icon is still installed and in use. Leave it.",
                   {currentEv});
}
Finding removeOneOld() {
    return removeGone("Toolbox", acc, "com.a.toolbox");
}

QList<Case> cases() {
    QList<Case> c;
    const auto add = [&c](std::string name, QList<Candidate> candidates, std::optional<QList<PaneRow>> rows,
                          QStringList offscreen, QList<Finding> findings, QList<MarkAt> marks) {
        c.append({std::move(name), std::move(candidates), std::move(rows), std::move(offscreen),
                  std::move(findings), std::move(marks)});
    };

    add("AllGoneEqualCountsMarksEveryRowInIndexOrder", {oldA, oldB},
        Rows{row("Toolbox", 1), row("Toolbox", 0)}, {},
        {removal("Toolbox", acc, 2, twoOld, {oldAEv, oldBEv}, {"com.a.toolbox", "com.b.toolbox"})},
        {removeAt(1), removeAt(0)});

    add("OneGoneRecordBehindTwoRowsIsALook", {oldA}, Rows{row("Toolbox", 0), row("Toolbox", 1)}, {},
        {looking("Toolbox", acc, 2,
                 "1 record behind this name is gone, but the screen shows 2 rows. Worth a look; nothing "
                 "is marked.",
                 none, {oldAEv})},
        {});

    add("TwoGoneRecordsBehindOneRowIsALook", {oldA, oldB}, Rows{row("Toolbox", 0)}, {},
        {looking("Toolbox", acc, 1,
                 "2 records behind this name are gone, but the screen shows 1 row. Worth a look; nothing "
                 "is marked.",
                 none, {oldAEv, oldBEv})},
        {});

    add("MixWithoutIconReadingsAsksForThePhoto", {oldA, current}, Rows{row("Toolbox", 0), row("Toolbox", 1)},
        {}, {looking("Toolbox", acc, 2, askForPhoto, tellRemove, {oldAEv, currentEv}), keepReal()}, {});

    add("MixWithPartialIconReadingsStillAsksForThePhoto", {oldA, current},
        Rows{row("Toolbox", 0, true), row("Toolbox", 1)}, {},
        {looking("Toolbox", acc, 2, askForPhoto, tellRemove, {oldAEv, currentEv}), keepReal()}, {});

    add("MixWithReadingsMarksBlankRedAndRealGreen", {oldA, current},
        Rows{row("Toolbox", 1, false), row("Toolbox", 0, true)}, {},
        {removal("Toolbox", acc, 1, oneOld, {oldAEv, currentEv}, {"com.a.toolbox"}, tellRemove), keepReal()},
        {removeAt(1), keepAt(0)});

    add("MixOfTwoOldAndOneCurrentWithReadings", {oldA, current, oldB},
        Rows{row("Toolbox", 0, true), row("Toolbox", 1, false), row("Toolbox", 2, true)}, {},
        {removal("Toolbox", acc, 2, twoOld, {oldAEv, oldBEv, currentEv}, {"com.a.toolbox", "com.b.toolbox"},
                 tellRemove),
         keepReal()},
        {removeAt(0), removeAt(2), keepAt(1)});

    add("TwoBlankIconsForOneGoneRecordMarkNothing", {oldA, current},
        Rows{row("Toolbox", 0, true), row("Toolbox", 1, true)}, {},
        {looking("Toolbox", acc, 2, iconsDoNotTell, tellRemove, {oldAEv, currentEv})}, {});

    add("IconsThatDoNotSingleOutTwoOldOnesSpeakInPlural", {oldA, oldB, current},
        Rows{row("Toolbox", 0, true), row("Toolbox", 1, false), row("Toolbox", 2, false)}, {},
        {looking("Toolbox", acc, 3,
                 "Several rows are named Toolbox and the icons do not single out the old ones. Worth a "
                 "look; nothing is marked.",
                 tellRemove, {oldAEv, oldBEv, currentEv}),
         keepReal()},
        {});

    add("TwoRealIconsForOneOldAndOneCurrentIsALookWithKeep", {oldA, current},
        Rows{row("Toolbox", 0, false), row("Toolbox", 1, false)}, {},
        {looking("Toolbox", acc, 2, iconsDoNotTell, tellRemove, {oldAEv, currentEv}), keepReal()}, {});

    add("OneRowOldAndLiveRecordKeepsAndReportsHidden", {oldA, current}, Rows{row("Toolbox", 0)}, {},
        {keeping("Toolbox", acc, 1, installedNow, {currentEv}), hidden("com.a.toolbox", "Toolbox", oldAEv)},
        {});

    add("OneRowWithRealIconReadingStillKeeps", {oldA, current}, Rows{row("Toolbox", 0, false)}, {},
        {keeping("Toolbox", acc, 1, installedNow, {currentEv}), hidden("com.a.toolbox", "Toolbox", oldAEv)},
        {});

    add("OneBlankRowOldAndLiveRecordIsALookOnly", {oldA, current}, Rows{row("Toolbox", 0, true)}, {},
        {looking("Toolbox", acc, 1,
                 "This Toolbox row could be the old copy or the current one, and nothing on the page says "
                 "which. Worth a look; nothing is marked.",
                 tellRemove, {oldAEv, currentEv})},
        {});

    add("TwoInstalledRowsKeepInPluralAndHideTheOld", {current, oldA, live("com.d.toolbox", {"Toolbox"})},
        Rows{row("Toolbox", 0), row("Toolbox", 1)}, {},
        {keeping("Toolbox", acc, 2, "These 2 Toolbox rows are installed now. Leave them.",
                 {currentEv, "com.d.toolbox: installed at /Applications/com.d.toolbox.app"}),
         hidden("com.a.toolbox", "Toolbox", oldAEv)},
        {});

    add("OnlyLiveProgramsOnARowGiveNothing", {current}, Rows{row("Toolbox", 0), row("Toolbox", 1)}, {}, {},
        {});

    add("TitleBelowTheFoldIsRemovedWithoutAMark", {oldA}, Rows{row("Other", 0)}, {"Toolbox"},
        {removal("Toolbox", none, 1, oneOld + furtherDown, {oldAEv}, {"com.a.toolbox"})}, {});

    add("PartlyVisibleRowIsNotReportedTwice", {oldA}, Rows{row("Toolbox", 0)}, {"Toolbox"}, {removeOneOld()},
        {removeAt(0)});

    add("OffscreenTitlesOnceEachInTextOrder", {gone("com.z.zeta", {"Zeta"}), gone("com.a.alpha", {"Alpha"})},
        Rows{}, {"Zeta", "Alpha", "Zeta"},
        {removeGone("Alpha", none, "com.a.alpha", furtherDown),
         removeGone("Zeta", none, "com.z.zeta", furtherDown)},
        {});

    // The old record has a live twin on the only row, so step 3 gives its
    // key back; a title further down then claims it as a remove.
    add("RecordGivenBackByAKeepIsFoundFurtherDown", {oldA, current}, Rows{row("Toolbox", 0)}, {"toolbox"},
        {keeping("Toolbox", acc, 1, installedNow, {currentEv}),
         removal("toolbox", none, 1, oneOld + furtherDown, {oldAEv}, {"com.a.toolbox"})},
        {});

    // Removed on the row of one name, its other name's row is an installed
    // program: the record is not also "nothing to click".
    add("RemovedRecordIsNotAlsoHiddenByTheKeepOfItsOtherName",
        {gone("com.x.alpha", {"Alpha", "Beta"}), live("com.y.beta", {"Beta"})},
        Rows{row("Alpha", 0), row("Beta", 1)}, {},
        {removeGone("Alpha", acc, "com.x.alpha"),
         keeping("Beta", acc, 1, "This Beta is the one installed now. Leave it.",
                 {"com.y.beta: installed at /Applications/com.y.beta.app"})},
        {removeAt(0)});

    add("GoneRecordThePageDoesNotListIsHidden", {oldA}, Rows{row("Other", 0)}, {"Elsewhere"},
        {hidden("com.a.toolbox", "Toolbox", oldAEv)}, {});

    add("HiddenRecordWithoutNamesShowsItsKey",
        {gone("/usr/local/bin/helper", {}, "nothing at /usr/local/bin/helper")}, Rows{}, {},
        {hidden("/usr/local/bin/helper", "/usr/local/bin/helper",
                "/usr/local/bin/helper: nothing at /usr/local/bin/helper")},
        {});

    add("RowsAbsentGroupsGoneRecordsByNameAndNothingElse",
        {gone("com.z.zed", {"Zed"}),
         cand("com.t.tool.1234567890", {"Tool"}, Liveness::live("installed at /x"), "app",
              "a per-run numeric suffix"),
         gone("com.a.one", {"Alpha"}), current, gone("com.a.two", {"Alpha"}),
         gone("/opt/tool", {}, "nothing at /opt/tool"),
         cand("com.d.drive", {"Alpha"},
              Liveness::driveNotConnected("on the drive \"X\", which is not connected"))},
        std::nullopt, {"Zed", "Tool"},
        {removal("/opt/tool", none, 1, "An old app: nothing at /opt/tool. Nothing uses it anymore.",
                 {"/opt/tool: nothing at /opt/tool"}, {"/opt/tool"}),
         removal("Alpha", none, 2,
                 "2 old copies of this app: no installed app answers to com.a.one. Nothing uses them "
                 "anymore.",
                 {"com.a.one: no installed app answers to com.a.one",
                  "com.a.two: no installed app answers to com.a.two"},
                 {"com.a.one", "com.a.two"}),
         removeGone("Zed", none, "com.z.zed")},
        {});

    add("RowsReadButEmptyMakeEveryUnnamedRecordHidden", {oldA, gone("com.q.quill", {"Quill"})}, Rows{},
        {"Quill"},
        {removeGone("Quill", none, "com.q.quill", furtherDown), hidden("com.a.toolbox", "Toolbox", oldAEv)},
        {});

    {
        const Candidate old = gone("com.v.old", {"2.1.200"});
        const Candidate now = live("com.v.now", {"2.1.300"});
        const Finding removeOld = removeGone("2.1.200", acc, "com.v.old");
        const Finding keepNow =
            keeping("2.1.300", acc, 1, "Version 2.1.300 is installed on this Mac now. Leave it.", {});
        add("OtherInstalledVersionIsKeptGreen", {old, now},
            Rows{row("2.1.300", 0), row("2.1.200", 1), row("2.1.300", 2), row("Other", 3)}, {},
            {removeOld, keepNow, keepNow}, {removeAt(1), keepAt(0), keepAt(2)});

        add("VersionKeepsNeedARemovedVersion", {gone("com.x.tool", {"Toolbox"}), now},
            Rows{row("Toolbox", 0), row("2.1.300", 1)}, {}, {removeGone("Toolbox", acc, "com.x.tool")},
            {removeAt(0)});

        add("VersionRowWithoutALiveProgramIsNotKept", {old, gone("com.v.older", {"2.1.100"})},
            Rows{row("2.1.200", 0), row("2.1.300", 1)}, {},
            {removeOld,
             hidden("com.v.older", "2.1.100", "com.v.older: no installed app answers to com.v.older")},
            {removeAt(0)});
    }

    {
        const Candidate drive =
            cand("com.d.backup", {"Backup Tool"},
                 Liveness::driveNotConnected("on the drive \"Backup\", which is not connected"));
        const Candidate system = cand("com.apple.finder", {"Finder"}, Liveness::apple());
        add("UnpluggedDriveAndSystemRecordsNeverAct", {drive, system},
            Rows{row("Backup Tool", 0), row("Finder", 1)}, {"Backup Tool"}, {}, {});
        add("UnpluggedDriveAndSystemRecordsNeverActUnread", {drive, system}, std::nullopt, {}, {}, {});
        add("UnpluggedTwinNeitherSavesNorExplainsAGoneRow",
            {oldA, cand("com.d.toolbox", {"Toolbox"},
                        Liveness::driveNotConnected("on the drive \"Backup\", which is not connected"))},
            Rows{row("Toolbox", 0)}, {}, {removeOneOld()}, {removeAt(0)});
    }

    {
        const Candidate devBuild =
            cand("com.vendor.tool.1234567890", {"Toolbox Dev", "com.vendor.tool.1234567890"},
                 Liveness::live("installed at ~/Build/Toolbox Dev.app"), "app", "a per-run numeric suffix");
        const Candidate unseen = cand("com.vendor.other.test", {"Other Dev"},
                                      Liveness::live("installed at /x"), "app", "\"test\" in the identifier");
        add("LiveTestBuildOnARowIsALookWithoutMark", {devBuild, unseen}, Rows{row("Toolbox-Dev", 0)},
            {"Other Dev"},
            {testBuild("com.vendor.tool.1234567890", "Toolbox Dev", "a per-run numeric suffix",
                       "installed at ~/Build/Toolbox Dev.app")},
            {});
        add("GoneTestBuildIsJudgedAsGone",
            {cand("com.vendor.tool.1234567890", {"Toolbox Dev"}, Liveness::gone("nothing at /tmp/t.app"),
                  "app", "a per-run numeric suffix")},
            Rows{row("Toolbox Dev", 0)}, {},
            {removal("Toolbox Dev", acc, 1, "An old app: nothing at /tmp/t.app. Nothing uses it anymore.",
                     {"com.vendor.tool.1234567890: nothing at /tmp/t.app"}, {"com.vendor.tool.1234567890"})},
            {removeAt(0)});
    }

    add("TitlesDifferingInCaseAreTwoTitlesCapitalFirst", {oldA}, Rows{row("toolbox", 0), row("Toolbox", 1)},
        {}, {removeOneOld(), removal("toolbox", acc, 1, oneOld, {oldAEv}, {"com.a.toolbox"})},
        {removeAt(1), removeAt(0)});

    {
        // U+FF21 sorts before U+1F600 by scalar value; UTF-16 code units
        // would put the emoji's surrogates first.
        const QString wide = QString::fromUtf8("\xEF\xBC\xA1pp");         // U+FF21 "pp"
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80 Pad");  // U+1F600 " Pad"
        add("TitlesInScalarOrderOutsideTheBasicPlane",
            {gone("k.emoji", {emoji}, "gone"), gone("k.wide", {wide}, "gone")},
            Rows{row(emoji, 0), row(wide, 1)}, {},
            {removal(wide, acc, 1, goneApp, {"k.wide: gone"}, {"k.wide"}),
             removal(emoji, acc, 1, goneApp, {"k.emoji: gone"}, {"k.emoji"})},
            {removeAt(1), removeAt(0)});
    }

    {
        const QString composed = QString::fromUtf8("Caf\xC3\xA9");     // é as one scalar
        const QString decomposed = QString::fromUtf8("Cafe\xCC\x81");  // e and a combining acute
        add("CanonicallyEqualTitlesAreOneTitle",
            {gone("k.one", {composed}, "gone"), gone("k.two", {decomposed}, "gone")},
            Rows{row(decomposed, 0), row(composed, 1)}, {},
            {removal(composed, acc, 2, twoGoneApps, {"k.one: gone", "k.two: gone"}, {"k.one", "k.two"})},
            {removeAt(0), removeAt(1)});
    }

    {
        const Candidate job =
            cand("16.com.vendor.sync", {"Sync Agent"},
                 Liveness::gone("its settings file was deleted (nothing at /x.plist)"), "background job");
        const Candidate jobNow = cand("16.com.vendor.sync2", {"Sync Agent"},
                                      Liveness::live("found at /y.plist"), "background job");
        const QString jobGone =
            "An old background job: its settings file was deleted (nothing at /x.plist). Nothing uses it "
            "anymore.";
        const QString jobEv = "16.com.vendor.sync: its settings file was deleted (nothing at /x.plist)";
        const QString jobNowEv = "16.com.vendor.sync2: found at /y.plist";
        add("BackgroundSwitchesAreTurnedOff", {job}, Rows{row("Sync Agent", 0, std::nullopt, bg)}, {},
            {removal("Sync Agent", bg, 1, jobGone, {jobEv}, {"16.com.vendor.sync"})},
            {{K::remove, 0, "Turn this off"}});
        add("BackgroundMixWithReadingsTurnsOffTheBlankSwitch", {job, jobNow},
            Rows{row("Sync Agent", 0, false, bg), row("Sync Agent", 1, true, bg)}, {},
            {removal("Sync Agent", bg, 1, jobGone, {jobEv, jobNowEv}, {"16.com.vendor.sync"},
                     "Turn off the switch on the Sync Agent row with the blank white icon. Leave every "
                     "Sync Agent row that shows a real icon."),
             keeping("Sync Agent", bg, 1,
                     "The Sync Agent with a real icon is still installed and in use. Leave it.", {jobNowEv})},
            {{K::remove, 1, "Turn this off"}, keepAt(0)});
        add("SectionOfATitleIsThatOfItsFirstRowByIndex",
            {cand("k.app", {"Sync Agent"}, Liveness::gone("gone")),
             cand("k.job", {"Sync Agent"}, Liveness::gone("gone"))},
            Rows{row("Sync Agent", 3, std::nullopt, bg), row("Sync Agent", 1, std::nullopt, login)}, {},
            {removal("Sync Agent", login, 2, twoGoneApps, {"k.app: gone", "k.job: gone"},
                     {"k.app", "k.job"})},
            {removeAt(1), removeAt(0)});
    }

    {
        // Every step at once, to pin the order in which findings and marks come out.
        const Candidate b1 = gone("k.b1", {"Beta"}, "gone");
        const Candidate b2 = gone("k.b2", {"Beta"}, "gone");
        const Candidate v1 = gone("k.v1", {"1.0.0"}, "gone");
        const Candidate v2 = live("k.v2", {"1.0.1"});
        const Candidate down = gone("k.down", {"Down"}, "gone");
        const Candidate hid = gone("k.hid", {"Hid"}, "gone");
        const Candidate tb = cand("k.tb", {"Alpha"}, Liveness::live("here"), "app", "a test-harness name");
        add("EmissionOrderAcrossAllSteps", {tb, hid, down, v2, b2, v1, b1},
            Rows{row("1.0.1", 0), row("Beta", 1), row("Alpha", 2), row("Beta", 3), row("1.0.0", 4)}, {"Down"},
            {removal("1.0.0", acc, 1, goneApp, {"k.v1: gone"}, {"k.v1"}),
             removal("Beta", acc, 2, twoGoneApps, {"k.b2: gone", "k.b1: gone"}, {"k.b2", "k.b1"}),
             keeping("1.0.1", acc, 1, "Version 1.0.1 is installed on this Mac now. Leave it.", {}),
             removal("Down", none, 1,
                     "An old app: gone. Nothing uses it anymore. It is further down the list: scroll down "
                     "in System Settings.",
                     {"k.down: gone"}, {"k.down"}),
             hidden("k.hid", "Hid", "k.hid: gone"),
             testBuild("k.tb", "Alpha", "a test-harness name", "here")},
            {removeAt(4), removeAt(1), removeAt(3), keepAt(0)});
    }

    return c;
}

class DecidePage : public testing::TestWithParam<Case> {};

TEST_P(DecidePage, FindingsAndMarksInOrder) {
    const Case& c = GetParam();
    const Decision d = Decide::page(c.candidates, c.rows, c.offscreen);

    ASSERT_EQ(d.findings.size(), c.findings.size()) << testing::PrintToString(d.findings);
    for (qsizetype i = 0; i < c.findings.size(); ++i)
        EXPECT_EQ(d.findings[i], c.findings[i]) << "finding " << i;

    QList<Mark> marks;
    for (const MarkAt& m : c.marks)
        marks.append(Mark{m.kind, c.rows->at(m.row), m.label});
    ASSERT_EQ(d.marks.size(), marks.size()) << testing::PrintToString(d.marks);
    for (qsizetype i = 0; i < marks.size(); ++i)
        EXPECT_EQ(d.marks[i], marks[i]) << "mark " << i;
}

INSTANTIATE_TEST_SUITE_P(Rules, DecidePage, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// Decide ties rows to records through an index of its own; it must tie them
// exactly as Candidate::matches does (Candidate.MatchesTitle).
TEST(DecideMatching, RowsMatchRecordsByNormalisedName) {
    const std::tuple<QString, QString, bool> cases[] = {
        {"Tool Box", "toolbox", true}, {"Tool.app", "Tool-App", true}, {"Toolbox", "Toolbox 2", false},
        {"---", "---", true},          {"---", "...", false},          {"", " ", false}};
    for (const auto& [name, title, matches] : cases) {
        const Decision d = Decide::page({gone("k", {name}, "gone")}, Rows{row(title, 0)}, {});
        ASSERT_EQ(d.findings.size(), 1);
        EXPECT_EQ(d.findings[0].verdict, matches ? V::remove : V::hidden) << title.toStdString();
    }
}

// The action words are read in the rows' tells; the kind is the first candidate's.
TEST(DecideWords, RemoveWhatOfTheFirstCandidate) {
    const Candidate a = cand("k.a", {"A"}, Liveness::gone("nothing at /a"), "background job");
    const Candidate b = cand("k.b", {"B"}, Liveness::gone("nothing at /b"), "program");
    EXPECT_EQ(Decide::removeWhat("A", {a, b, b}),
              "3 old copies of this background job: nothing at /a. Nothing uses them anymore.");
    EXPECT_EQ(Decide::removeWhat("A", {}), "");
}

// The last case is written in Arabic-Indic digits.
TEST(DecideVersion, ThreeRunsOfDigits) {
    const std::pair<QString, bool> cases[] = {
        {"2.1.300", true},  {"10.0.0", true},  {"2.1", false},
        {"2.1.3.4", false}, {"v2.1.3", false}, {"2.1.3 beta", false},
        {"2..3", false},    {"", false},       {QString::fromUtf8("\xD9\xA2.\xD9\xA1.\xD9\xA3"), true}};
    for (const auto& [text, version] : cases)
        EXPECT_EQ(Decide::isVersion(text), version) << text.toStdString();
}

}  // namespace
}  // namespace rk
