// The guide: from a decision and what System Settings shows, the phase and
// the one sentence of the banner. First rule that applies wins.

#include <gtest/gtest.h>

#include "app/AppModel.h"

using namespace rk;

namespace {

const QString kHighlighted = QStringLiteral(
    "Highlighted for you: press the minus (\u2212) button under the list, then confirm with Touch ID or your "
    "password.");
const QString kTurnOff =
    QStringLiteral("Marked in red on the screen: turn off its switch. macOS may ask for your password.");
const QString kClickRow =
    QStringLiteral("Marked in red on the screen: click that row once, then press the minus (\u2212) button.");
const QString kScroll =
    QStringLiteral("Scroll down in System Settings: the next one is further down the list.");
const QString kLookBelow = QStringLiteral("Look for the rows listed below.");
const QString kNothingLeft = QStringLiteral("Nothing left to remove on this page.");

PaneRow row(PaneSection section, const QString& title, int index, bool selectable) {
    PaneRow r;
    r.section = section;
    r.title = title;
    r.index = index;
    r.selectable = selectable;
    return r;
}

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
    f.shown = id.mid(2);
    f.keys = {id.mid(2)};
    return f;
}

const PaneRow kOld = row(PaneSection::accessibility, "Old Tool", 0, true);
const PaneRow kOther = row(PaneSection::accessibility, "Other", 1, true);
const PaneRow kAgent = row(PaneSection::background, "Old Agent", 0, false);
const PaneRow kLogin = row(PaneSection::openAtLogin, "Old Login", 0, true);

struct Case {
    const char* name;
    Decision decision;
    QStringList selected;
    QStringList below;
    QSet<QString> tickedOff;
    Phase phase;
    QString banner;
};

class Guide : public ::testing::TestWithParam<Case> {};

TEST_P(Guide, PhaseAndSentence) {
    const Case& c = GetParam();
    const auto [phase, banner] = AppModel::guide(c.decision, c.selected, c.below, c.tickedOff);
    EXPECT_EQ(phase, c.phase);
    EXPECT_EQ(banner, c.banner);
}

const Finding kRemoveOld = finding(Finding::Verdict::remove, "r:Old Tool");
const Finding kKeepOther = finding(Finding::Verdict::keep, "k:Other");
const Finding kLookOther = finding(Finding::Verdict::look, "l:Other");

INSTANTIATE_TEST_SUITE_P(
    Rules, Guide,
    ::testing::Values(
        Case{"redRowSelected",
             {{kRemoveOld}, {red(kOld), green(kOther)}},
             {"Old Tool"},
             {},
             {},
             Phase::selected,
             kHighlighted},
        Case{"redRowNotYetSelected",
             {{kRemoveOld}, {red(kOld)}},
             {"Other"},
             {},
             {},
             Phase::circled,
             kClickRow},
        Case{"openAtLoginRow", {{kRemoveOld}, {red(kLogin)}}, {}, {}, {}, Phase::circled, kClickRow},
        Case{"backgroundSwitch", {{kRemoveOld}, {red(kAgent)}}, {}, {}, {}, Phase::circled, kTurnOff},
        // The first selectable red row counts for the selection, the first
        // red row for the wording.
        Case{"selectableRowAfterASwitch",
             {{kRemoveOld}, {red(kAgent), red(kLogin)}},
             {"Old Login"},
             {},
             {},
             Phase::selected,
             kHighlighted},
        Case{"switchFirstNothingSelected",
             {{kRemoveOld}, {red(kAgent), red(kLogin)}},
             {},
             {},
             {},
             Phase::circled,
             kTurnOff},
        Case{"redMarksWinOverBelow",
             {{kRemoveOld}, {red(kOld)}},
             {},
             {"Far Down"},
             {},
             Phase::circled,
             kClickRow},
        Case{"furtherDown", {{kRemoveOld}, {}}, {}, {"Old Tool"}, {}, Phase::scroll, kScroll},
        Case{"furtherDownButTickedOff",
             {{kRemoveOld}, {}},
             {},
             {"Old Tool"},
             {"r:Old Tool"},
             Phase::circled,
             kLookBelow},
        Case{"listedOnly",
             {{kRemoveOld, kKeepOther}, {green(kOther)}},
             {},
             {},
             {},
             Phase::circled,
             kLookBelow},
        Case{"listedOnlyEvenWhenTickedOff",
             {{kRemoveOld}, {}},
             {},
             {},
             {"r:Old Tool"},
             Phase::circled,
             kLookBelow},
        Case{"belowWithoutRemoveFindings",
             {{kKeepOther, kLookOther}, {green(kOther)}},
             {},
             {"Far Down"},
             {},
             Phase::nothingLeft,
             kNothingLeft},
        Case{"nothing", {}, {}, {}, {}, Phase::nothingLeft, kNothingLeft}),
    [](const auto& info) { return info.param.name; });

TEST(GuideText, MinusIsTheMinusSignNotAHyphen) {
    const auto [phase, banner] = AppModel::guide({{kRemoveOld}, {red(kOld)}}, {}, {}, {});
    EXPECT_TRUE(banner.contains(QChar(0x2212)));
    EXPECT_FALSE(banner.contains(QStringLiteral("(-)")));
}

}  // namespace
