// How a row title is tied to a candidate: exact names first, then the
// normalised form, which forgives case, spaces and punctuation only.

#include "finder/Candidate.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

const QString composed = QString::fromUtf8("Caf\xC3\xA9");     // é as one scalar
const QString decomposed = QString::fromUtf8("Cafe\xCC\x81");  // e and a combining acute

TEST(Candidate, NormalizeKeepsLowerCaseLettersAndNumbersOnlyAndMatchesTitlesByIt) {
    const std::pair<QString, QString> cases[] = {
        {"Tool-Box 2.app", "toolbox2app"},
        {"  ...  ", ""},
        {"ABC_def", "abcdef"},
        // Letters and numbers beyond ASCII stay, lower-cased: "Über Ⅲ".
        {QString::fromUtf8("\xC3\x9C"
                           "ber \xE2\x85\xA2"),
         QString::fromUtf8("\xC3\xBC"
                           "ber\xE2\x85\xB2")},
        {decomposed + "!", composed.toLower()},
        // Emoji and symbols are neither letters nor numbers.
        {QString::fromUtf8("\xF0\x9F\x98\x80 Pad"), "pad"},
        // Numbers outside the Basic Multilingual Plane (MATHEMATICAL BOLD DIGIT ONE).
        {QString::fromUtf8("x\xF0\x9D\x9F\x8F"), QString::fromUtf8("x\xF0\x9D\x9F\x8F")},
    };
    for (const auto& [text, normal] : cases)
        EXPECT_EQ(Candidate::normalize(text), normal) << text.toStdString();
    const struct {
        QStringList names;
        QString title;
        bool matches;
    } titles[] = {
        {{"Toolbox"}, "Toolbox", true},
        {{"com.vendor.Toolbox", "Toolbox"}, "TOOLBOX", true},
        {{"Tool Box"}, "tool-box", true},
        {{"Toolbox"}, "Toolbox Pro", false},
        {{}, "Toolbox", false},
        // Titles without letters or numbers match only exactly.
        {{"---"}, "---", true},
        {{"---"}, "--", false},
        {{"Tool"}, "...", false},
        {{composed}, decomposed, true},
    };
    for (const auto& c : titles) {
        Candidate candidate;
        candidate.names = c.names;
        EXPECT_EQ(candidate.matches(c.title), c.matches) << c.title.toStdString();
    }
}

TEST(Candidate, EqualityIsOverAllFieldsWithCanonicalTexts) {
    const Candidate a{"k", {composed}, Liveness::gone("nothing at /x"), std::nullopt, "app", "d"};
    Candidate b = a;
    b.names = {decomposed};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    for (const auto& edit : std::initializer_list<std::function<void(Candidate&)>>{
             [](Candidate& c) { c.testWhy = "a test-harness name"; },
             [](Candidate& c) { c.liveness = Liveness::live("nothing at /x"); },
             [](Candidate& c) { c.names.append("Other"); }}) {
        b = a;
        edit(b);
        EXPECT_NE(a, b);
    }
}

}  // namespace
}  // namespace rk
