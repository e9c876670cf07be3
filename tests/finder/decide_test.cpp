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
constexpr auto acc = PaneSection::accessibility;
constexpr auto login = PaneSection::openAtLogin;
constexpr auto bg = PaneSection::background;

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
const QString tellRemove =
    "Remove the Toolbox row with the blank white icon. Leave every Toolbox row that shows a real icon.";
const QString realIconKeep = "The Toolbox with a real icon is still installed and in use. Leave it.";
const QString hiddenWhat =
    "macOS keeps a record of this but does not show it on the page, so there is nothing to click. It is "
    "harmless.";

Finding keepReal(PaneSection section = acc) {
    return {"k:Toolbox", V::keep, "Toolbox", section, 1, realIconKeep, std::nullopt, {currentEv}, {}};
}

QList<Case> cases() {
    QList<Case> c;

    c.append(
        {"AllGoneEqualCountsMarksEveryRowInIndexOrder",
         {oldA, oldB},
         QList<PaneRow>{row("Toolbox", 1), row("Toolbox", 0)},
         {},
         {{"r:Toolbox",
           V::remove,
           "Toolbox",
           acc,
           2,
           "2 old copies of this app: no installed app answers to com.a.toolbox. Nothing uses them anymore.",
           std::nullopt,
           {oldAEv, oldBEv},
           {"com.a.toolbox", "com.b.toolbox"}}},
         {{K::remove, 1, "Remove this"}, {K::remove, 0, "Remove this"}}});

    c.append(
        {"OneGoneRecordBehindTwoRowsIsALook",
         {oldA},
         QList<PaneRow>{row("Toolbox", 0), row("Toolbox", 1)},
         {},
         {{"l:Toolbox",
           V::look,
           "Toolbox",
           acc,
           2,
           "1 record behind this name is gone, but the screen shows 2 rows. Worth a look; nothing is marked.",
           std::nullopt,
           {oldAEv},
           {}}},
         {}});

    c.append({"TwoGoneRecordsBehindOneRowIsALook",
              {oldA, oldB},
              QList<PaneRow>{row("Toolbox", 0)},
              {},
              {{"l:Toolbox",
                V::look,
                "Toolbox",
                acc,
                1,
                "2 records behind this name are gone, but the screen shows 1 row. Worth a look; nothing is "
                "marked.",
                std::nullopt,
                {oldAEv, oldBEv},
                {}}},
              {}});

    c.append({"MixWithoutIconReadingsAsksForThePhoto",
              {oldA, current},
              QList<PaneRow>{row("Toolbox", 0), row("Toolbox", 1)},
              {},
              {{"l:Toolbox",
                V::look,
                "Toolbox",
                acc,
                2,
                "Several rows are named Toolbox; one or more are old. Turn on the photo (Screen Recording) "
                "and I can "
                "point at the exact row.",
                tellRemove,
                {oldAEv, currentEv},
                {}},
               keepReal()},
              {}});

    c.append({"MixWithPartialIconReadingsStillAsksForThePhoto",
              {oldA, current},
              QList<PaneRow>{row("Toolbox", 0, true), row("Toolbox", 1)},
              {},
              {{"l:Toolbox",
                V::look,
                "Toolbox",
                acc,
                2,
                "Several rows are named Toolbox; one or more are old. Turn on the photo (Screen Recording) "
                "and I can "
                "point at the exact row.",
                tellRemove,
                {oldAEv, currentEv},
                {}},
               keepReal()},
              {}});

    c.append({"MixWithReadingsMarksBlankRedAndRealGreen",
              {oldA, current},
              QList<PaneRow>{row("Toolbox", 1, false), row("Toolbox", 0, true)},
              {},
              {{"r:Toolbox",
                V::remove,
                "Toolbox",
                acc,
                1,
                oneOld,
                tellRemove,
                {oldAEv, currentEv},
                {"com.a.toolbox"}},
               keepReal()},
              {{K::remove, 1, "Remove this"}, {K::keep, 0, "KEEP THIS ROW"}}});

    c.append(
        {"MixOfTwoOldAndOneCurrentWithReadings",
         {oldA, current, oldB},
         QList<PaneRow>{row("Toolbox", 0, true), row("Toolbox", 1, false), row("Toolbox", 2, true)},
         {},
         {{"r:Toolbox",
           V::remove,
           "Toolbox",
           acc,
           2,
           "2 old copies of this app: no installed app answers to com.a.toolbox. Nothing uses them anymore.",
           tellRemove,
           {oldAEv, oldBEv, currentEv},
           {"com.a.toolbox", "com.b.toolbox"}},
          keepReal()},
         {{K::remove, 0, "Remove this"}, {K::remove, 2, "Remove this"}, {K::keep, 1, "KEEP THIS ROW"}}});

    c.append({"TwoBlankIconsForOneGoneRecordMarkNothing",
              {oldA, current},
              QList<PaneRow>{row("Toolbox", 0, true), row("Toolbox", 1, true)},
              {},
              {{"l:Toolbox",
                V::look,
                "Toolbox",
                acc,
                2,
                "Several rows are named Toolbox and the icons do not single out the old one. Worth a look; "
                "nothing "
                "is marked.",
                tellRemove,
                {oldAEv, currentEv},
                {}}},
              {}});

    c.append({"IconsThatDoNotSingleOutTwoOldOnesSpeakInPlural",
              {oldA, oldB, current},
              QList<PaneRow>{row("Toolbox", 0, true), row("Toolbox", 1, false), row("Toolbox", 2, false)},
              {},
              {{"l:Toolbox",
                V::look,
                "Toolbox",
                acc,
                3,
                "Several rows are named Toolbox and the icons do not single out the old ones. Worth a look; "
                "nothing "
                "is marked.",
                tellRemove,
                {oldAEv, oldBEv, currentEv},
                {}},
               keepReal()},
              {}});

    c.append({"TwoRealIconsForOneOldAndOneCurrentIsALookWithKeep",
              {oldA, current},
              QList<PaneRow>{row("Toolbox", 0, false), row("Toolbox", 1, false)},
              {},
              {{"l:Toolbox",
                V::look,
                "Toolbox",
                acc,
                2,
                "Several rows are named Toolbox and the icons do not single out the old one. Worth a look; "
                "nothing "
                "is marked.",
                tellRemove,
                {oldAEv, currentEv},
                {}},
               keepReal()},
              {}});

    c.append(
        {"OneRowOldAndLiveRecordKeepsAndReportsHidden",
         {oldA, current},
         QList<PaneRow>{row("Toolbox", 0)},
         {},
         {{"k:Toolbox",
           V::keep,
           "Toolbox",
           acc,
           1,
           "This Toolbox is the one installed now. Leave it.",
           std::nullopt,
           {currentEv},
           {}},
          {"h:com.a.toolbox", V::hidden, "Toolbox", std::nullopt, 1, hiddenWhat, std::nullopt, {oldAEv}, {}}},
         {}});

    c.append(
        {"OneRowWithRealIconReadingStillKeeps",
         {oldA, current},
         QList<PaneRow>{row("Toolbox", 0, false)},
         {},
         {{"k:Toolbox",
           V::keep,
           "Toolbox",
           acc,
           1,
           "This Toolbox is the one installed now. Leave it.",
           std::nullopt,
           {currentEv},
           {}},
          {"h:com.a.toolbox", V::hidden, "Toolbox", std::nullopt, 1, hiddenWhat, std::nullopt, {oldAEv}, {}}},
         {}});

    c.append(
        {"OneBlankRowOldAndLiveRecordIsALookOnly",
         {oldA, current},
         QList<PaneRow>{row("Toolbox", 0, true)},
         {},
         {{"l:Toolbox",
           V::look,
           "Toolbox",
           acc,
           1,
           "This Toolbox row could be the old copy or the current one, and nothing on the page says which. "
           "Worth a look; nothing is marked.",
           tellRemove,
           {oldAEv, currentEv},
           {}}},
         {}});

    {
        const Candidate current2 = live("com.d.toolbox", {"Toolbox"});
        c.append({"TwoInstalledRowsKeepInPluralAndHideTheOld",
                  {current, oldA, current2},
                  QList<PaneRow>{row("Toolbox", 0), row("Toolbox", 1)},
                  {},
                  {{"k:Toolbox",
                    V::keep,
                    "Toolbox",
                    acc,
                    2,
                    "These 2 Toolbox rows are installed now. Leave them.",
                    std::nullopt,
                    {currentEv, "com.d.toolbox: installed at /Applications/com.d.toolbox.app"},
                    {}},
                   {"h:com.a.toolbox",
                    V::hidden,
                    "Toolbox",
                    std::nullopt,
                    1,
                    hiddenWhat,
                    std::nullopt,
                    {oldAEv},
                    {}}},
                  {}});
    }

    c.append({"OnlyLiveProgramsOnARowGiveNothing",
              {current},
              QList<PaneRow>{row("Toolbox", 0), row("Toolbox", 1)},
              {},
              {},
              {}});

    c.append({"TitleBelowTheFoldIsRemovedWithoutAMark",
              {oldA},
              QList<PaneRow>{row("Other", 0)},
              {"Toolbox"},
              {{"r:Toolbox",
                V::remove,
                "Toolbox",
                std::nullopt,
                1,
                oneOld + " It is further down the list: scroll down in System Settings.",
                std::nullopt,
                {oldAEv},
                {"com.a.toolbox"}}},
              {}});

    c.append(
        {"PartlyVisibleRowIsNotReportedTwice",
         {oldA},
         QList<PaneRow>{row("Toolbox", 0)},
         {"Toolbox"},
         {{"r:Toolbox", V::remove, "Toolbox", acc, 1, oneOld, std::nullopt, {oldAEv}, {"com.a.toolbox"}}},
         {{K::remove, 0, "Remove this"}}});

    {
        const Candidate zeta = gone("com.z.zeta", {"Zeta"});
        const Candidate alpha = gone("com.a.alpha", {"Alpha"});
        c.append(
            {"OffscreenTitlesOnceEachInTextOrder",
             {zeta, alpha},
             QList<PaneRow>{},
             {"Zeta", "Alpha", "Zeta"},
             {{"r:Alpha",
               V::remove,
               "Alpha",
               std::nullopt,
               1,
               "An old app: no installed app answers to com.a.alpha. Nothing uses it anymore. It is further "
               "down the list: scroll down in System Settings.",
               std::nullopt,
               {"com.a.alpha: no installed app answers to com.a.alpha"},
               {"com.a.alpha"}},
              {"r:Zeta",
               V::remove,
               "Zeta",
               std::nullopt,
               1,
               "An old app: no installed app answers to com.z.zeta. Nothing uses it anymore. It is further "
               "down "
               "the list: scroll down in System Settings.",
               std::nullopt,
               {"com.z.zeta: no installed app answers to com.z.zeta"},
               {"com.z.zeta"}}},
             {}});
    }

    // The old record has a live twin on the only row, so step 3 gives its
    // key back; a title further down then claims it as a remove.
    c.append({"RecordGivenBackByAKeepIsFoundFurtherDown",
              {oldA, current},
              QList<PaneRow>{row("Toolbox", 0)},
              {"toolbox"},
              {{"k:Toolbox",
                V::keep,
                "Toolbox",
                acc,
                1,
                "This Toolbox is the one installed now. Leave it.",
                std::nullopt,
                {currentEv},
                {}},
               {"r:toolbox",
                V::remove,
                "toolbox",
                std::nullopt,
                1,
                oneOld + " It is further down the list: scroll down in System Settings.",
                std::nullopt,
                {oldAEv},
                {"com.a.toolbox"}}},
              {}});

    c.append(
        {"GoneRecordThePageDoesNotListIsHidden",
         {oldA},
         QList<PaneRow>{row("Other", 0)},
         {"Elsewhere"},
         {{"h:com.a.toolbox", V::hidden, "Toolbox", std::nullopt, 1, hiddenWhat, std::nullopt, {oldAEv}, {}}},
         {}});

    c.append({"HiddenRecordWithoutNamesShowsItsKey",
              {gone("/usr/local/bin/helper", {}, "nothing at /usr/local/bin/helper")},
              QList<PaneRow>{},
              {},
              {{"h:/usr/local/bin/helper",
                V::hidden,
                "/usr/local/bin/helper",
                std::nullopt,
                1,
                hiddenWhat,
                std::nullopt,
                {"/usr/local/bin/helper: nothing at /usr/local/bin/helper"},
                {}}},
              {}});

    {
        const Candidate zed = gone("com.z.zed", {"Zed"});
        const Candidate alpha1 = gone("com.a.one", {"Alpha"});
        const Candidate alpha2 = gone("com.a.two", {"Alpha"});
        const Candidate test = cand("com.t.tool.1234567890", {"Tool"}, Liveness::live("installed at /x"),
                                    "app", "a per-run numeric suffix");
        const Candidate keyOnly = gone("/opt/tool", {}, "nothing at /opt/tool");
        c.append(
            {"RowsAbsentGroupsGoneRecordsByNameAndNothingElse",
             {zed, test, alpha1, current, alpha2, keyOnly,
              cand("com.d.drive", {"Alpha"},
                   Liveness::driveNotConnected("on the drive \"X\", which is not connected"))},
             std::nullopt,
             {"Zed", "Tool"},
             {{"r:/opt/tool",
               V::remove,
               "/opt/tool",
               std::nullopt,
               1,
               "An old app: nothing at /opt/tool. Nothing uses it anymore.",
               std::nullopt,
               {"/opt/tool: nothing at /opt/tool"},
               {"/opt/tool"}},
              {"r:Alpha",
               V::remove,
               "Alpha",
               std::nullopt,
               2,
               "2 old copies of this app: no installed app answers to com.a.one. Nothing uses them anymore.",
               std::nullopt,
               {"com.a.one: no installed app answers to com.a.one",
                "com.a.two: no installed app answers to com.a.two"},
               {"com.a.one", "com.a.two"}},
              {"r:Zed",
               V::remove,
               "Zed",
               std::nullopt,
               1,
               "An old app: no installed app answers to com.z.zed. Nothing uses it anymore.",
               std::nullopt,
               {"com.z.zed: no installed app answers to com.z.zed"},
               {"com.z.zed"}}},
             {}});
    }

    c.append(
        {"RowsReadButEmptyMakeEveryUnnamedRecordHidden",
         {oldA, gone("com.q.quill", {"Quill"})},
         QList<PaneRow>{},
         {"Quill"},
         {{"r:Quill",
           V::remove,
           "Quill",
           std::nullopt,
           1,
           "An old app: no installed app answers to com.q.quill. Nothing uses it anymore. It is further down "
           "the list: scroll down in System Settings.",
           std::nullopt,
           {"com.q.quill: no installed app answers to com.q.quill"},
           {"com.q.quill"}},
          {"h:com.a.toolbox", V::hidden, "Toolbox", std::nullopt, 1, hiddenWhat, std::nullopt, {oldAEv}, {}}},
         {}});

    {
        const Candidate old = gone("com.v.old", {"2.1.200"});
        const Candidate now = live("com.v.now", {"2.1.300"});
        c.append(
            {"OtherInstalledVersionIsKeptGreen",
             {old, now},
             QList<PaneRow>{row("2.1.300", 0), row("2.1.200", 1), row("2.1.300", 2), row("Other", 3)},
             {},
             {{"r:2.1.200",
               V::remove,
               "2.1.200",
               acc,
               1,
               "An old app: no installed app answers to com.v.old. Nothing uses it anymore.",
               std::nullopt,
               {"com.v.old: no installed app answers to com.v.old"},
               {"com.v.old"}},
              {"k:2.1.300",
               V::keep,
               "2.1.300",
               acc,
               1,
               "Version 2.1.300 is installed on this Mac now. Leave it.",
               std::nullopt,
               {},
               {}},
              {"k:2.1.300",
               V::keep,
               "2.1.300",
               acc,
               1,
               "Version 2.1.300 is installed on this Mac now. Leave it.",
               std::nullopt,
               {},
               {}}},
             {{K::remove, 1, "Remove this"}, {K::keep, 0, "KEEP THIS ROW"}, {K::keep, 2, "KEEP THIS ROW"}}});

        c.append({"VersionKeepsNeedARemovedVersion",
                  {gone("com.x.tool", {"Toolbox"}), now},
                  QList<PaneRow>{row("Toolbox", 0), row("2.1.300", 1)},
                  {},
                  {{"r:Toolbox",
                    V::remove,
                    "Toolbox",
                    acc,
                    1,
                    "An old app: no installed app answers to com.x.tool. Nothing uses it anymore.",
                    std::nullopt,
                    {"com.x.tool: no installed app answers to com.x.tool"},
                    {"com.x.tool"}}},
                  {{K::remove, 0, "Remove this"}}});

        c.append({"VersionRowWithoutALiveProgramIsNotKept",
                  {old, gone("com.v.older", {"2.1.100"})},
                  QList<PaneRow>{row("2.1.200", 0), row("2.1.300", 1)},
                  {},
                  {{"r:2.1.200",
                    V::remove,
                    "2.1.200",
                    acc,
                    1,
                    "An old app: no installed app answers to com.v.old. Nothing uses it anymore.",
                    std::nullopt,
                    {"com.v.old: no installed app answers to com.v.old"},
                    {"com.v.old"}},
                   {"h:com.v.older",
                    V::hidden,
                    "2.1.100",
                    std::nullopt,
                    1,
                    hiddenWhat,
                    std::nullopt,
                    {"com.v.older: no installed app answers to com.v.older"},
                    {}}},
                  {{K::remove, 0, "Remove this"}}});
    }

    {
        const Candidate drive =
            cand("com.d.backup", {"Backup Tool"},
                 Liveness::driveNotConnected("on the drive \"Backup\", which is not connected"));
        const Candidate system = cand("com.apple.finder", {"Finder"}, Liveness::apple());
        c.append({"UnpluggedDriveAndSystemRecordsNeverAct",
                  {drive, system},
                  QList<PaneRow>{row("Backup Tool", 0), row("Finder", 1)},
                  {"Backup Tool"},
                  {},
                  {}});
        c.append({"UnpluggedDriveAndSystemRecordsNeverActUnread", {drive, system}, std::nullopt, {}, {}, {}});
        c.append(
            {"UnpluggedTwinNeitherSavesNorExplainsAGoneRow",
             {oldA, cand("com.d.toolbox", {"Toolbox"},
                         Liveness::driveNotConnected("on the drive \"Backup\", which is not connected"))},
             QList<PaneRow>{row("Toolbox", 0)},
             {},
             {{"r:Toolbox", V::remove, "Toolbox", acc, 1, oneOld, std::nullopt, {oldAEv}, {"com.a.toolbox"}}},
             {{K::remove, 0, "Remove this"}}});
    }

    {
        const Candidate testBuild =
            cand("com.vendor.tool.1234567890", {"Toolbox Dev", "com.vendor.tool.1234567890"},
                 Liveness::live("installed at ~/Build/Toolbox Dev.app"), "app", "a per-run numeric suffix");
        const Candidate unseen = cand("com.vendor.other.test", {"Other Dev"},
                                      Liveness::live("installed at /x"), "app", "\"test\" in the identifier");
        c.append({"LiveTestBuildOnARowIsALookWithoutMark",
                  {testBuild, unseen},
                  QList<PaneRow>{row("Toolbox-Dev", 0)},
                  {"Other Dev"},
                  {{"t:com.vendor.tool.1234567890",
                    V::look,
                    "Toolbox Dev",
                    std::nullopt,
                    1,
                    "Looks like a test build (a per-run numeric suffix), but it is still on this Mac. Remove "
                    "it only "
                    "if you know it is not needed.",
                    std::nullopt,
                    {"com.vendor.tool.1234567890: installed at ~/Build/Toolbox Dev.app"},
                    {}}},
                  {}});
        c.append({"GoneTestBuildIsJudgedAsGone",
                  {cand("com.vendor.tool.1234567890", {"Toolbox Dev"},
                        Liveness::gone("nothing at /tmp/t.app"), "app", "a per-run numeric suffix")},
                  QList<PaneRow>{row("Toolbox Dev", 0)},
                  {},
                  {{"r:Toolbox Dev",
                    V::remove,
                    "Toolbox Dev",
                    acc,
                    1,
                    "An old app: nothing at /tmp/t.app. Nothing uses it anymore.",
                    std::nullopt,
                    {"com.vendor.tool.1234567890: nothing at /tmp/t.app"},
                    {"com.vendor.tool.1234567890"}}},
                  {{K::remove, 0, "Remove this"}}});
    }

    c.append(
        {"TitlesDifferingInCaseAreTwoTitlesCapitalFirst",
         {oldA},
         QList<PaneRow>{row("toolbox", 0), row("Toolbox", 1)},
         {},
         {{"r:Toolbox", V::remove, "Toolbox", acc, 1, oneOld, std::nullopt, {oldAEv}, {"com.a.toolbox"}},
          {"r:toolbox", V::remove, "toolbox", acc, 1, oneOld, std::nullopt, {oldAEv}, {"com.a.toolbox"}}},
         {{K::remove, 1, "Remove this"}, {K::remove, 0, "Remove this"}}});

    {
        // U+FF21 sorts before U+1F600 by scalar value; UTF-16 code units
        // would put the emoji's surrogates first.
        const QString wide = QString::fromUtf8("\xEF\xBC\xA1pp");         // U+FF21 "pp"
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80 Pad");  // U+1F600 " Pad"
        c.append({"TitlesInScalarOrderOutsideTheBasicPlane",
                  {gone("k.emoji", {emoji}, "gone"), gone("k.wide", {wide}, "gone")},
                  QList<PaneRow>{row(emoji, 0), row(wide, 1)},
                  {},
                  {{"r:" + wide,
                    V::remove,
                    wide,
                    acc,
                    1,
                    "An old app: gone. Nothing uses it anymore.",
                    std::nullopt,
                    {"k.wide: gone"},
                    {"k.wide"}},
                   {"r:" + emoji,
                    V::remove,
                    emoji,
                    acc,
                    1,
                    "An old app: gone. Nothing uses it anymore.",
                    std::nullopt,
                    {"k.emoji: gone"},
                    {"k.emoji"}}},
                  {{K::remove, 1, "Remove this"}, {K::remove, 0, "Remove this"}}});
    }

    {
        const QString composed = QString::fromUtf8("Caf\xC3\xA9");     // é as one scalar
        const QString decomposed = QString::fromUtf8("Cafe\xCC\x81");  // e and a combining acute
        c.append({"CanonicallyEqualTitlesAreOneTitle",
                  {gone("k.one", {composed}, "gone"), gone("k.two", {decomposed}, "gone")},
                  QList<PaneRow>{row(decomposed, 0), row(composed, 1)},
                  {},
                  {{"r:" + composed,
                    V::remove,
                    composed,
                    acc,
                    2,
                    "2 old copies of this app: gone. Nothing uses them anymore.",
                    std::nullopt,
                    {"k.one: gone", "k.two: gone"},
                    {"k.one", "k.two"}}},
                  {{K::remove, 0, "Remove this"}, {K::remove, 1, "Remove this"}}});
    }

    {
        const Candidate job =
            cand("16.com.vendor.sync", {"Sync Agent"},
                 Liveness::gone("its settings file was deleted (nothing at /x.plist)"), "background job");
        const Candidate jobNow = cand("16.com.vendor.sync2", {"Sync Agent"},
                                      Liveness::live("found at /y.plist"), "background job");
        const QString tellOff =
            "Turn off the switch on the Sync Agent row with the blank white icon. Leave every "
            "Sync Agent row that shows a real icon.";
        c.append(
            {"BackgroundSwitchesAreTurnedOff",
             {job},
             QList<PaneRow>{row("Sync Agent", 0, std::nullopt, bg)},
             {},
             {{"r:Sync Agent",
               V::remove,
               "Sync Agent",
               bg,
               1,
               "An old background job: its settings file was deleted (nothing at /x.plist). Nothing uses it "
               "anymore.",
               std::nullopt,
               {"16.com.vendor.sync: its settings file was deleted (nothing at /x.plist)"},
               {"16.com.vendor.sync"}}},
             {{K::remove, 0, "Turn this off"}}});
        c.append(
            {"BackgroundMixWithReadingsTurnsOffTheBlankSwitch",
             {job, jobNow},
             QList<PaneRow>{row("Sync Agent", 0, false, bg), row("Sync Agent", 1, true, bg)},
             {},
             {{"r:Sync Agent",
               V::remove,
               "Sync Agent",
               bg,
               1,
               "An old background job: its settings file was deleted (nothing at /x.plist). Nothing uses it "
               "anymore.",
               tellOff,
               {"16.com.vendor.sync: its settings file was deleted (nothing at /x.plist)",
                "16.com.vendor.sync2: found at /y.plist"},
               {"16.com.vendor.sync"}},
              {"k:Sync Agent",
               V::keep,
               "Sync Agent",
               bg,
               1,
               "The Sync Agent with a real icon is still installed and in use. Leave it.",
               std::nullopt,
               {"16.com.vendor.sync2: found at /y.plist"},
               {}}},
             {{K::remove, 1, "Turn this off"}, {K::keep, 0, "KEEP THIS ROW"}}});
        c.append({"SectionOfATitleIsThatOfItsFirstRowByIndex",
                  {cand("k.app", {"Sync Agent"}, Liveness::gone("gone")),
                   cand("k.job", {"Sync Agent"}, Liveness::gone("gone"))},
                  QList<PaneRow>{row("Sync Agent", 3, std::nullopt, bg),
                                 row("Sync Agent", 1, std::nullopt, login)},
                  {},
                  {{"r:Sync Agent",
                    V::remove,
                    "Sync Agent",
                    login,
                    2,
                    "2 old copies of this app: gone. Nothing uses them anymore.",
                    std::nullopt,
                    {"k.app: gone", "k.job: gone"},
                    {"k.app", "k.job"}}},
                  {{K::remove, 1, "Remove this"}, {K::remove, 0, "Remove this"}}});
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
        c.append(
            {"EmissionOrderAcrossAllSteps",
             {tb, hid, down, v2, b2, v1, b1},
             QList<PaneRow>{row("1.0.1", 0), row("Beta", 1), row("Alpha", 2), row("Beta", 3),
                            row("1.0.0", 4)},
             {"Down"},
             {{"r:1.0.0",
               V::remove,
               "1.0.0",
               acc,
               1,
               "An old app: gone. Nothing uses it anymore.",
               std::nullopt,
               {"k.v1: gone"},
               {"k.v1"}},
              {"r:Beta",
               V::remove,
               "Beta",
               acc,
               2,
               "2 old copies of this app: gone. Nothing uses them anymore.",
               std::nullopt,
               {"k.b2: gone", "k.b1: gone"},
               {"k.b2", "k.b1"}},
              {"k:1.0.1",
               V::keep,
               "1.0.1",
               acc,
               1,
               "Version 1.0.1 is installed on this Mac now. Leave it.",
               std::nullopt,
               {},
               {}},
              {"r:Down",
               V::remove,
               "Down",
               std::nullopt,
               1,
               "An old app: gone. Nothing uses it anymore. It is further down the list: scroll down in "
               "System "
               "Settings.",
               std::nullopt,
               {"k.down: gone"},
               {"k.down"}},
              {"h:k.hid", V::hidden, "Hid", std::nullopt, 1, hiddenWhat, std::nullopt, {"k.hid: gone"}, {}},
              {"t:k.tb",
               V::look,
               "Alpha",
               std::nullopt,
               1,
               "Looks like a test build (a test-harness name), but it is still on this Mac. Remove it only "
               "if you "
               "know it is not needed.",
               std::nullopt,
               {"k.tb: here"},
               {}}},
             {{K::remove, 4, "Remove this"},
              {K::remove, 1, "Remove this"},
              {K::remove, 3, "Remove this"},
              {K::keep, 0, "KEEP THIS ROW"}}});
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

// The decision is a function of its inputs: deciding twice gives the same ids.
TEST(DecidePageStability, SameStateSameIds) {
    const QList<Candidate> cs{oldA, current, gone("k.x", {"X"}, "gone")};
    const QList<PaneRow> rows{row("Toolbox", 0, true), row("Toolbox", 1, false), row("X", 2)};
    const Decision a = Decide::page(cs, rows, {"Y"});
    const Decision b = Decide::page(cs, rows, {"Y"});
    QStringList idsA, idsB;
    for (const Finding& f : a.findings)
        idsA.append(f.id);
    for (const Finding& f : b.findings)
        idsB.append(f.id);
    EXPECT_EQ(idsA, (QStringList{"r:Toolbox", "k:Toolbox", "r:X"}));
    EXPECT_EQ(idsA, idsB);
}

// Deciding a page matches a row to a record exactly as Candidate::matches does.
struct MatchCase {
    QString name;
    QString title;
    bool matches;
};

class DecideMatching : public testing::TestWithParam<MatchCase> {};

TEST_P(DecideMatching, AgreesWithCandidateMatches) {
    const MatchCase& m = GetParam();
    const Candidate c = gone("k", {m.name}, "gone");
    ASSERT_EQ(c.matches(m.title), m.matches);
    const Decision d = Decide::page({c}, QList<PaneRow>{row(m.title, 0)}, {});
    ASSERT_EQ(d.findings.size(), 1);
    EXPECT_EQ(d.findings[0].verdict, m.matches ? V::remove : V::hidden);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, DecideMatching,
    testing::Values(MatchCase{"Tool Box", "toolbox", true}, MatchCase{"Tool.app", "Tool-App", true},
                    MatchCase{"Toolbox", "Toolbox 2", false}, MatchCase{"---", "---", true},
                    MatchCase{"---", "...", false}, MatchCase{"", "", true}, MatchCase{"", " ", false},
                    MatchCase{QString::fromUtf8("Caf\xC3\xA9"), "CAFE", false},
                    MatchCase{QString::fromUtf8("Caf\xC3\xA9"), QString::fromUtf8("CAFE\xCC\x81"), true}));

TEST(DecideWords, ActionWord) {
    EXPECT_EQ(Decide::actionWord(bg), "Turn off");
    EXPECT_EQ(Decide::actionWord(acc), "Remove");
    EXPECT_EQ(Decide::actionWord(login), "Remove");
    EXPECT_EQ(Decide::actionWord(std::nullopt), "Remove");
}

TEST(DecideWords, RemoveWhatUsesTheFirstCandidateOnly) {
    const Candidate a = cand("k.a", {"A"}, Liveness::gone("nothing at /a"), "background job");
    const Candidate b = cand("k.b", {"B"}, Liveness::gone("nothing at /b"), "program");
    EXPECT_EQ(Decide::removeWhat("ignored", {a}),
              "An old background job: nothing at /a. Nothing uses it anymore.");
    EXPECT_EQ(Decide::removeWhat("A", {a, b, b}),
              "3 old copies of this background job: nothing at /a. Nothing uses them anymore.");
    EXPECT_EQ(Decide::removeWhat("A", {}), "");
}

struct VersionCase {
    QString text;
    bool version;
};

class DecideVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(DecideVersion, ThreeRunsOfDigits) {
    EXPECT_EQ(Decide::isVersion(GetParam().text), GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(Texts, DecideVersion,
                         testing::Values(VersionCase{"2.1.300", true}, VersionCase{"10.0.0", true},
                                         VersionCase{"2.1", false}, VersionCase{"2.1.3.4", false},
                                         VersionCase{"v2.1.3", false}, VersionCase{"2.1.3 beta", false},
                                         VersionCase{"2..3", false}, VersionCase{"", false},
                                         VersionCase{QString::fromUtf8("\xD9\xA2.\xD9\xA1.\xD9\xA3"), true}));

}  // namespace
}  // namespace rk
