// The guide: from a decision and what System Settings shows, the phase and
// the one sentence of the banner. First rule that applies wins.

#include <gtest/gtest.h>

#include "support/ModelFakes.h"

using namespace rk;
using namespace rk::test;

namespace {

const QString kScroll =
    QStringLiteral("Scroll down in System Settings: the next one is further down the list.");
const QString kLookBelow = QStringLiteral("Look for the rows listed below.");

Mark red(const PaneRow& r) {
    return Mark{Mark::Kind::remove, r, QStringLiteral("Remove this")};
}
Mark green(const PaneRow& r) {
    return Mark{Mark::Kind::keep, r, QStringLiteral("KEEP THIS ROW")};
}
Finding finding(Finding::Verdict verdict, const QString& id) {
    Finding f;
    f.id = id;
    f.verdict = verdict;
    return f;
}

TEST(Guide, PhaseAndSentence) {
    using P = Phase;
    const PaneRow old{PaneSection::accessibility, "Old Tool", {}, 0, true, {}};
    const PaneRow other{PaneSection::accessibility, "Other", {}, 0, true, {}};
    const PaneRow agent{PaneSection::background, "Old Agent", {}, 0, false, {}};
    const PaneRow login{PaneSection::openAtLogin, "Old Login", {}, 0, true, {}};
    const QList<Finding> remove{finding(Finding::Verdict::remove, "r:Old Tool")};
    const QList<Finding> keepAndLook{finding(Finding::Verdict::keep, "k:Other"),
                                     finding(Finding::Verdict::look, "l:Other")};
    const QSet<QString> ticked{"r:Old Tool"};
    struct Case {
        const char* name;
        Decision decision;
        QStringList selected;
        QStringList below;
        QSet<QString> tickedOff;
        P phase;
        QString banner;
    } cases[] = {
        {"selected", {remove, {red(old), green(other)}}, {"Old Tool"}, {}, {}, P::selected, kHighlighted},
        {"notYetSelected", {remove, {red(old)}}, {"Other"}, {}, {}, P::circled, kClickRow},
        {"backgroundSwitch", {remove, {red(agent)}}, {}, {}, {}, P::circled, kTurnOff},
        // The first selectable red row counts for the selection, the first
        // red row for the wording.
        {"afterASwitch",
         {remove, {red(agent), red(login)}},
         {"Old Login"},
         {},
         {},
         P::selected,
         kHighlighted},
        {"switchFirstNoneSelected", {remove, {red(agent), red(login)}}, {}, {}, {}, P::circled, kTurnOff},
        {"redMarksWinOverBelow", {remove, {red(old)}}, {}, {"Far Down"}, {}, P::circled, kClickRow},
        {"furtherDown", {remove, {}}, {}, {"Old Tool"}, {}, P::scroll, kScroll},
        {"furtherDownButTickedOff", {remove, {}}, {}, {"Old Tool"}, ticked, P::circled, kLookBelow},
        {"listedOnly", {remove, {green(other)}}, {}, {}, {}, P::circled, kLookBelow},
        {"listedOnlyEvenWhenTickedOff", {remove, {}}, {}, {}, ticked, P::circled, kLookBelow},
        {"belowNoRemove", {keepAndLook, {green(other)}}, {}, {"Far Down"}, {}, P::nothingLeft, kNothingLeft},
        {"nothing", {}, {}, {}, {}, P::nothingLeft, kNothingLeft},
    };
    for (const Case& c : cases) {
        const auto [phase, banner] = AppModel::guide(c.decision, c.selected, c.below, c.tickedOff);
        EXPECT_EQ(phase, c.phase) << c.name;
        EXPECT_EQ(banner, c.banner) << c.name;
    }
}

}  // namespace
