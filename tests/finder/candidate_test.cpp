// How a row title is tied to a candidate: exact names first, then the
// normalised form, which forgives case, spaces and punctuation only.

#include "finder/Candidate.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

struct NormalizeCase {
    QString text;
    QString normal;
};

class CandidateNormalize : public testing::TestWithParam<NormalizeCase> {};

TEST_P(CandidateNormalize, LowerCaseLettersAndNumbersOnly) {
    EXPECT_EQ(Candidate::normalize(GetParam().text), GetParam().normal);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CandidateNormalize,
    testing::Values(NormalizeCase{"Tool-Box 2.app", "toolbox2app"}, NormalizeCase{"  ...  ", ""},
                    NormalizeCase{"", ""}, NormalizeCase{"ABC_def", "abcdef"},
                    // Letters and numbers beyond ASCII stay, lower-cased.
                    NormalizeCase{QString::fromUtf8("\xC3\x9C"
                                                    "ber \xE2\x85\xA2"),  // "Über Ⅲ"
                                  QString::fromUtf8("\xC3\xBC"
                                                    "ber\xE2\x85\xB2")},  // "überⅲ"
                    // A decomposed accent is the same letter as the composed one.
                    NormalizeCase{QString::fromUtf8("Cafe\xCC\x81!"), QString::fromUtf8("caf\xC3\xA9")},
                    // Emoji and symbols are neither letters nor numbers.
                    NormalizeCase{QString::fromUtf8("\xF0\x9F\x98\x80 Pad"), "pad"},
                    // Numbers outside the Basic Multilingual Plane (MATHEMATICAL BOLD DIGIT ONE).
                    NormalizeCase{QString::fromUtf8("x\xF0\x9D\x9F\x8F"),
                                  QString::fromUtf8("x\xF0\x9D\x9F\x8F")}));

struct MatchCase {
    QStringList names;
    QString title;
    bool matches;
};

class CandidateMatches : public testing::TestWithParam<MatchCase> {};

TEST_P(CandidateMatches, Title) {
    Candidate c;
    c.key = "k";
    c.names = GetParam().names;
    EXPECT_EQ(c.matches(GetParam().title), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, CandidateMatches,
    testing::Values(MatchCase{{"Toolbox"}, "Toolbox", true},
                    MatchCase{{"com.vendor.Toolbox", "Toolbox"}, "TOOLBOX", true},
                    MatchCase{{"Tool Box"}, "tool-box", true}, MatchCase{{"Toolbox"}, "Toolbox Pro", false},
                    MatchCase{{}, "Toolbox", false},
                    // Titles without letters or numbers match only exactly.
                    MatchCase{{"---"}, "---", true}, MatchCase{{"---"}, "--", false},
                    MatchCase{{"Tool"}, "...", false},
                    MatchCase{{QString::fromUtf8("Caf\xC3\xA9")}, QString::fromUtf8("Cafe\xCC\x81"), true}));

TEST(Candidate, EqualityIsOverAllFieldsWithCanonicalTexts) {
    const Candidate a{
        "k", {QString::fromUtf8("Caf\xC3\xA9")}, Liveness::gone("nothing at /x"), std::nullopt, "app", "d"};
    Candidate b = a;
    b.names = {QString::fromUtf8("Cafe\xCC\x81")};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    b.testWhy = "a test-harness name";
    EXPECT_NE(a, b);
    b = a;
    b.liveness = Liveness::live("nothing at /x");
    EXPECT_NE(a, b);
    b = a;
    b.names.append("Other");
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace rk
