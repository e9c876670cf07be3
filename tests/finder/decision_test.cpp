// The decision records: raw words, the remove count and value equality.

#include "finder/Decision.h"

#include <gtest/gtest.h>

#include <QSet>

namespace rk {
namespace {

using V = Finding::Verdict;

TEST(Decision, RemoveCountSumsRemoveFindingsOnlyAndRawWordsRoundTripExactly) {
    Decision d;
    EXPECT_EQ(d.removeCount(), 0);
    for (const auto& [verdict, count] :
         {std::pair{V::remove, 2}, {V::look, 3}, {V::remove, 1}, {V::hidden, 1}, {V::keep, 4}})
        d.findings << Finding{"x", verdict, "x", std::nullopt, count, "", std::nullopt, {}, {}};
    EXPECT_EQ(d.removeCount(), 3);
    for (auto s : {PaneSection::accessibility, PaneSection::openAtLogin, PaneSection::background})
        EXPECT_EQ(paneSectionFromRaw(rawValue(s)), s);
    for (auto k : {Mark::Kind::remove, Mark::Kind::keep})
        EXPECT_EQ(Mark::kindFromRaw(rawValue(k)), k);
    for (auto v : {V::remove, V::keep, V::look, V::hidden})
        EXPECT_EQ(Finding::verdictFromRaw(rawValue(v)), v);
    EXPECT_FALSE(paneSectionFromRaw("openatlogin") || Mark::kindFromRaw("Keep") ||
                 Finding::verdictFromRaw(""));
}

// Canonically equal texts are equal and hash alike; the icon reading counts.
TEST(Decision, ValuesCompareCanonicalTextsAndTheIconReading) {
    const QString composed = QString::fromUtf8("Caf\xC3\xA9"), decomposed = QString::fromUtf8("Cafe\xCC\x81");
    const PaneRow a{PaneSection::accessibility, composed, Rect{10, 20, 300, 28}, 0, true, false};
    PaneRow b = a;
    b.title = decomposed;
    EXPECT_EQ(a, b);
    EXPECT_EQ(QSet<PaneRow>({a, b}).size(), 1);
    EXPECT_EQ(QSet<Mark>({Mark{Mark::Kind::keep, a, "KEEP"}, Mark{Mark::Kind::keep, b, "KEEP"}}).size(), 1);
    EXPECT_NE((Mark{Mark::Kind::keep, a, "KEEP"}), (Mark{Mark::Kind::remove, a, "KEEP"}));
    for (const std::optional<bool> reading : {std::optional<bool>(), std::optional<bool>(true)}) {
        b.iconBlank = reading;
        EXPECT_NE(a, b);
    }
    const Finding f{"r:" + composed, V::remove, composed, PaneSection::background, 1, "w", "t",
                    {"k: e"},        {"k"}};
    Finding g = f;
    g.id = "r:" + decomposed;
    EXPECT_EQ(QSet<Finding>({f, g}).size(), 1);
    g.keys = {"k", "k"};
    EXPECT_NE(f, g);
    g = f;
    g.tell = std::nullopt;
    EXPECT_NE(f, g);
}

}  // namespace
}  // namespace rk
