#include "cli/SelfTestDecide.h"

#include <algorithm>
#include <functional>

#include "finder/Decide.h"

namespace rk {

namespace {

using Verdict = Finding::Verdict;

bool anyFinding(const Decision& d, Verdict verdict, const std::optional<QString>& shown = std::nullopt) {
    return std::any_of(d.findings.cbegin(), d.findings.cend(), [&](const Finding& f) {
        return f.verdict == verdict && (!shown || f.shown == *shown);
    });
}

int marksOf(const Decision& d, Mark::Kind kind) {
    return int(
        std::count_if(d.marks.cbegin(), d.marks.cend(), [&](const Mark& m) { return m.kind == kind; }));
}

// Some mark of `kind` (of either kind when none) on a row `which` accepts.
bool markOn(const Decision& d, std::optional<Mark::Kind> kind,
            const std::function<bool(const PaneRow&)>& which) {
    return std::any_of(d.marks.cbegin(), d.marks.cend(),
                       [&](const Mark& m) { return (!kind || m.kind == *kind) && which(m.row); });
}

bool markOnIndex(const Decision& d, Mark::Kind kind, int index) {
    return markOn(d, kind, [index](const PaneRow& r) { return r.index == index; });
}

bool markOnTitle(const Decision& d, std::optional<Mark::Kind> kind, const QString& title) {
    return markOn(d, kind, [&title](const PaneRow& r) { return r.title == title; });
}

// The count of the first remove finding; none without one.
std::optional<int> firstRemoveCount(const Decision& d) {
    for (const Finding& f : d.findings)
        if (f.verdict == Verdict::remove)
            return f.count;
    return std::nullopt;
}

void markingChecks(SelfTestChecks& checks) {
    using S = SelfTestDecide;
    const Decision both = Decide::page({S::cand("/tmp/a/x", "x", true), S::cand("/tmp/b/x", "x", true)},
                                       QList<PaneRow>{S::row("x", 0), S::row("x", 1), S::row("y", 2)});
    checks.check(marksOf(both, Mark::Kind::remove) == 2 && firstRemoveCount(both) == 2,
                 "control: every record behind a name gone and counts agree: both rows marked");
    checks.check(!markOnTitle(both, std::nullopt, "y"), "control: an unrelated row is never marked");

    const Decision twoRows =
        Decide::page({S::cand("/tmp/a/x", "x", true)}, QList<PaneRow>{S::row("x", 0), S::row("x", 1)});
    checks.check(twoRows.marks.isEmpty() && anyFinding(twoRows, Verdict::look),
                 "decoy: one gone record but two rows: nothing marked, worth a look");

    const QList<Candidate> bash{S::cand("/old/bash", "bash", true), S::cand("/bin/bash", "bash", false)};
    const Decision unphotographed = Decide::page(bash, QList<PaneRow>{S::row("bash", 0), S::row("bash", 1)});
    const bool told = std::any_of(unphotographed.findings.cbegin(), unphotographed.findings.cend(),
                                  [](const Finding& f) { return f.verdict == Verdict::look && f.tell; });
    checks.check(unphotographed.marks.isEmpty() && told,
                 "decoy: a same-named mix without icons is never marked, and is told apart in words");
    const Decision photographed =
        Decide::page(bash, QList<PaneRow>{S::row("bash", 0, false), S::row("bash", 1, true)});
    checks.check(
        marksOf(photographed, Mark::Kind::remove) == 1 && markOnIndex(photographed, Mark::Kind::remove, 1) &&
            marksOf(photographed, Mark::Kind::keep) == 1 && markOnIndex(photographed, Mark::Kind::keep, 0),
        "control: the blank-icon row is marked red, the real-icon one green");
    const Decision twoBlank =
        Decide::page(bash, QList<PaneRow>{S::row("bash", 0, true), S::row("bash", 1, true)});
    checks.check(twoBlank.marks.isEmpty(), "decoy: two blank icons for one gone record: nothing marked");
}

void listingChecks(SelfTestChecks& checks) {
    using S = SelfTestDecide;
    const Decision below =
        Decide::page({S::cand("/old/z", "z", true)}, QList<PaneRow>{S::row("a", 0)}, {"z"});
    checks.check(anyFinding(below, Verdict::remove, QStringLiteral("z")) && below.marks.isEmpty(),
                 "control: a target below the fold stays on the list, unmarked");
    const Decision hidden = Decide::page({S::cand("/old/q", "q", true)}, QList<PaneRow>{S::row("a", 0)});
    checks.check(anyFinding(hidden, Verdict::hidden),
                 "control: a gone record the screen does not list is 'nothing to click'");
    const Decision unread = Decide::page({S::cand("/old/q", "q", true)}, std::nullopt);
    checks.check(unread.marks.isEmpty() && anyFinding(unread, Verdict::remove),
                 "control: with Accessibility off, findings are listed and nothing is marked");

    const Decision versions =
        Decide::page({S::cand("/a/2.1.200", "2.1.200", true), S::cand("/a/2.1.300", "2.1.300", false)},
                     QList<PaneRow>{S::row("2.1.200", 0), S::row("2.1.300", 1)});
    checks.check(markOnTitle(versions, Mark::Kind::keep, "2.1.300"),
                 "control: another installed version is boxed KEEP");

    const QString fennel = QStringLiteral("Fennel Post");
    const QList<Candidate> pair{S::cand("old.fennelpost", fennel, true),
                                S::cand("new.fennelpost", fennel, false)};
    const Decision keeper = Decide::page(pair, QList<PaneRow>{S::row(fennel, 0)});
    checks.check(keeper.marks.isEmpty() && anyFinding(keeper, Verdict::keep) &&
                     anyFinding(keeper, Verdict::hidden, fennel) && !anyFinding(keeper, Verdict::look),
                 "control: one row, one old record, one live app: the row is the keeper, the old record is "
                 "hidden, nothing marked");
    const Decision blank = Decide::page(pair, QList<PaneRow>{S::row(fennel, 0, true)});
    checks.check(blank.marks.isEmpty() && !anyFinding(blank, Verdict::keep, fennel),
                 "decoy: that one row draws a blank icon: never called a keeper, nothing marked");
}

}  // namespace

Candidate SelfTestDecide::cand(const QString& key, const QString& name, bool gone) {
    return Candidate{
        .key = key,
        .names = {name},
        .liveness = gone ? Liveness::gone(QStringLiteral("test: missing"))
                         : Liveness::live(QStringLiteral("test: present")),
        .testWhy = std::nullopt,
        .kindWord = QStringLiteral("program"),
        .detail = QString(),
    };
}

PaneRow SelfTestDecide::row(const QString& title, int index, std::optional<bool> blank, PaneSection section) {
    return PaneRow{
        .section = section,
        .title = title,
        .frame = Rect{0, double(index) * 30, 300, 28},
        .index = index,
        .selectable = section != PaneSection::background,
        .iconBlank = blank,
    };
}

void SelfTestDecide::run(SelfTestChecks& checks) {
    markingChecks(checks);
    listingChecks(checks);
}

}  // namespace rk
