// The decision records: raw words, the remove count and value equality.

#include "finder/Decision.h"

#include <gtest/gtest.h>

#include <QSet>

namespace rk {
namespace {

Finding finding(Finding::Verdict verdict, int count) {
    return Finding{"x", verdict, "x", std::nullopt, count, "", std::nullopt, {}, {}};
}

TEST(Decision, RemoveCountSumsRemoveFindingsOnly) {
    Decision d;
    EXPECT_EQ(d.removeCount(), 0);
    d.findings = {finding(Finding::Verdict::remove, 2), finding(Finding::Verdict::look, 3),
                  finding(Finding::Verdict::remove, 1), finding(Finding::Verdict::hidden, 1),
                  finding(Finding::Verdict::keep, 4)};
    EXPECT_EQ(d.removeCount(), 3);
}

TEST(Decision, RawWordsRoundTripAndNothingElse) {
    for (auto s : {PaneSection::accessibility, PaneSection::openAtLogin, PaneSection::background})
        EXPECT_EQ(paneSectionFromRaw(rawValue(s)), s);
    for (auto k : {Mark::Kind::remove, Mark::Kind::keep})
        EXPECT_EQ(Mark::kindFromRaw(rawValue(k)), k);
    for (auto v :
         {Finding::Verdict::remove, Finding::Verdict::keep, Finding::Verdict::look, Finding::Verdict::hidden})
        EXPECT_EQ(Finding::verdictFromRaw(rawValue(v)), v);
    EXPECT_EQ(rawValue(PaneSection::openAtLogin), "openAtLogin");
    EXPECT_EQ(rawValue(Mark::Kind::keep), "keep");
    EXPECT_EQ(rawValue(Finding::Verdict::hidden), "hidden");
    EXPECT_EQ(paneSectionFromRaw("openatlogin"), std::nullopt);
    EXPECT_EQ(Mark::kindFromRaw("Keep"), std::nullopt);
    EXPECT_EQ(Finding::verdictFromRaw("Remove"), std::nullopt);
    EXPECT_EQ(Finding::verdictFromRaw(""), std::nullopt);
}

PaneRow baseRow() {
    return PaneRow{PaneSection::accessibility, "Toolbox", Rect{10, 20, 300, 28}, 0, true, false};
}

TEST(Decision, RowsDifferingOnlyInIconReadingDiffer) {
    PaneRow a = baseRow();
    PaneRow b = baseRow();
    b.iconBlank = std::nullopt;
    EXPECT_NE(a, b);
    b.iconBlank = true;
    EXPECT_NE(a, b);
    b.iconBlank = false;
    EXPECT_EQ(a, b);
}

// Frames compare as boxes, exactly: a fraction of a point is another reading,
// but the same box written with a negative width and height is the same row.
TEST(Decision, FramesCompareExactlyAsStandardisedBoxes) {
    PaneRow a = baseRow();
    PaneRow b = baseRow();
    b.frame.y += 1e-13;
    EXPECT_NE(a, b);
    EXPECT_TRUE(a.frame.toQRectF() == b.frame.toQRectF());  // what a fuzzy comparison would say
    b.frame = Rect{310, 48, -300, -28};                     // the same box, not standardised
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    EXPECT_EQ(QSet<PaneRow>({a, b}).size(), 1);
    b.frame = Rect{310, 48, -300, -28 - 1e-13};
    EXPECT_NE(a, b);
}

TEST(Decision, CanonicallyEqualTextsAreEqualAndHashAlike) {
    PaneRow a = baseRow();
    PaneRow b = baseRow();
    a.title = QString::fromUtf8("Caf\xC3\xA9");
    b.title = QString::fromUtf8("Cafe\xCC\x81");
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    const Mark ma{Mark::Kind::keep, a, "KEEP THIS ROW"};
    const Mark mb{Mark::Kind::keep, b, "KEEP THIS ROW"};
    EXPECT_EQ(ma, mb);
    EXPECT_EQ(QSet<Mark>({ma, mb}).size(), 1);
    EXPECT_NE(ma, (Mark{Mark::Kind::remove, a, "KEEP THIS ROW"}));
}

TEST(Decision, FindingsCompareOverEveryField) {
    const Finding a{"r:X", Finding::Verdict::remove, "X", PaneSection::background, 1, "w", "t", {"k: e"},
                    {"k"}};
    EXPECT_EQ(a, a);
    auto changed = [&](auto edit) {
        Finding b = a;
        edit(b);
        return b;
    };
    EXPECT_NE(a, changed([](Finding& f) { f.id = "l:X"; }));
    EXPECT_NE(a, changed([](Finding& f) { f.section = std::nullopt; }));
    EXPECT_NE(a, changed([](Finding& f) { f.tell = std::nullopt; }));
    EXPECT_NE(a, changed([](Finding& f) { f.tell = ""; }));
    EXPECT_NE(a, changed([](Finding& f) { f.evidence = {}; }));
    EXPECT_NE(a, changed([](Finding& f) { f.keys = {"k", "k"}; }));
    EXPECT_NE(a, changed([](Finding& f) { f.count = 2; }));
    EXPECT_EQ(QSet<Finding>({a, changed([](Finding&) {})}).size(), 1);
}

}  // namespace
}  // namespace rk
