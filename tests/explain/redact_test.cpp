#include "explain/Redact.h"

#include <gtest/gtest.h>

#include "support/ExplainFakes.h"

using namespace rk;
using rk::test::FakeAccount;

TEST(Redact, ReplacesTheShortNameAndFullNameWordsIgnoringCase) {
    const FakeAccount anna("anna", "Anna Berg");
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"com.anna.helper", "com.user.helper"},
        {"ANNA's Sync", "user's Sync"},
        {"AnNaTool", "userTool"},
        {"Berg Labs updater", "user Labs updater"},
        {"com.bergtools.anna", "com.usertools.user"},
        {"Dropbox Helper", "Dropbox Helper"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Redact::user(c.text, anna), QString(c.want)) << c.text;
    EXPECT_EQ(Redact::user(std::optional<QString>(), anna), std::nullopt);
    EXPECT_EQ(Redact::user(std::optional<QString>("anna.x"), anna), std::optional<QString>("user.x"));
}

TEST(Redact, LeavesNamesShorterThanThreeCharactersAlone) {
    // "al" and "Li" would blank out syllables of nearly every identifier.
    const FakeAccount al("al", "Al Li van Oz");
    EXPECT_EQ(Redact::user("com.al.lizard.oz", al), QString("com.al.lizard.oz"));
    EXPECT_EQ(Redact::user("Caravan Tools", al), QString("Carauser Tools"));
    EXPECT_EQ(Redact::names(al), QStringList{"van"});
}

TEST(Redact, SplitsTheFullNameAtAnythingButLettersAndDigits) {
    const FakeAccount account("jdoe", "Anna-Lena O'Brien");
    EXPECT_EQ(Redact::names(account), (QStringList{"jdoe", "Anna", "Lena", "Brien"}));
    EXPECT_EQ(Redact::user("lena.brien.sync", account), QString("user.user.sync"));
}

TEST(Redact, OverlappingOccurrencesAreReplacedWhole) {
    const FakeAccount account("ana", "");
    // "banana" holds "ana" twice, overlapping: nothing of either may remain.
    EXPECT_EQ(Redact::user("banana", account), QString("buser"));
}

// The replacement "user" can itself hold a name, and can join with the text
// beside it into the name again; neither may leave the name in the result.
TEST(Redact, NeverLeavesANameThatHidesInsideTheReplacement) {
    struct Case {
        const char* shortName;
        const char* fullName;
        const char* text;
    } cases[] = {
        {"use", "", "com.use.secret"}, {"ser", "", "com.ser.secret"},  {"USER", "", "com.user.secret"},
        {"rxy", "", "rxyxy"},          {"abc", "Ser Use", "userland"}, {"nyx", "", "usernyxnyx"},
    };
    for (const auto& c : cases) {
        const FakeAccount account(c.shortName, c.fullName);
        const QString out = Redact::user(c.text, account);
        for (const QString& name : Redact::names(account)) {
            EXPECT_FALSE(out.contains(name, Qt::CaseInsensitive)) << c.text << " -> " << out.toStdString();
        }
    }
    EXPECT_EQ(Redact::user("com.use.secret", FakeAccount("use", "")), QString("com.someone.secret"));
}

TEST(Redact, ComposedAndDecomposedNamesMatch) {
    const FakeAccount account("jose", QString::fromUtf8("Jos\xC3\xA9 Mar\xC3\xADn"));  // composed
    const QString decomposed = QString::fromUtf8("mari\xCC\x81n.helper");
    EXPECT_EQ(Redact::user(decomposed, account), QString("user.helper"));
}

TEST(UserAccount, FullNameIsTheFirstFieldOfTheCommentWithAmpersandExpanded) {
    EXPECT_EQ(fullNameFromGecos("Anna Berg,Room 4,555,", "anna"), QString("Anna Berg"));
    EXPECT_EQ(fullNameFromGecos("& Smith", "bob"), QString("Bob Smith"));
    EXPECT_EQ(fullNameFromGecos("", "bob"), QString());
}

TEST(UserAccount, ASeamInstalledAsCurrentIsUsedByDefault) {
    FakeAccount anna("anna", "Anna Berg");
    UserAccount::setCurrent(&anna);
    EXPECT_EQ(Redact::user("anna.berg"), QString("user.user"));
    UserAccount::setCurrent(nullptr);
    EXPECT_EQ(&UserAccount::current(), &UserAccount::host());
}
