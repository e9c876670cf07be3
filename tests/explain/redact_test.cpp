#include "explain/Redact.h"

#include <gtest/gtest.h>

#include "support/ExplainFakes.h"

using namespace rk;
using rk::test::FakeAccount;

// The short name and the full name's words of three characters or more
// (split at anything but letters and digits) become "user", ignoring case,
// overlapping occurrences whole, composed and decomposed forms alike.
TEST(Redact, ReplacesTheAccountsNamesWithUser) {
    const struct {
        const char* shortName;
        QString fullName;
        QString text;
        const char* want;
    } cases[] = {
        {"anna", "Anna Berg", "com.anna.helper", "com.user.helper"},
        {"anna", "Anna Berg", "ANNA's Sync", "user's Sync"},
        {"anna", "Anna Berg", "AnNaTool", "userTool"},
        {"anna", "Anna Berg", "com.bergtools.anna", "com.usertools.user"},
        {"anna", "Anna Berg", "Dropbox Helper", "Dropbox Helper"},
        {"anna", "Anna Berg", "", ""},
        // "al" and "Li" would blank out syllables of nearly every identifier.
        {"al", "Al Li van Oz", "com.al.lizard.oz", "com.al.lizard.oz"},
        {"al", "Al Li van Oz", "Caravan Tools", "Carauser Tools"},
        {"jdoe", "Anna-Lena O'Brien", "lena.brien.sync", "user.user.sync"},
        {"ana", "", "banana", "buser"},
        {"jose", QString::fromUtf8("Jos\xC3\xA9 Mar\xC3\xADn"), QString::fromUtf8("mari\xCC\x81n.helper"),
         "user.helper"},
        // The replacement may not hold the name itself.
        {"use", "", "com.use.secret", "com.someone.secret"},
    };
    for (const auto& c : cases) {
        const FakeAccount account(c.shortName, c.fullName);
        EXPECT_EQ(Redact::user(c.text, account), QString(c.want)) << c.text.toStdString();
    }
    const FakeAccount anna("anna", "Anna Berg");
    EXPECT_EQ(Redact::user(std::optional<QString>(), anna), std::nullopt);
    EXPECT_EQ(Redact::user(std::optional<QString>("anna.x"), anna), std::optional<QString>("user.x"));
    EXPECT_EQ(Redact::names(FakeAccount("al", "Al Li van Oz")), QStringList{"van"});
    EXPECT_EQ(Redact::names(FakeAccount("jdoe", "Anna-Lena O'Brien")),
              (QStringList{"jdoe", "Anna", "Lena", "Brien"}));
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
        for (const QString& name : Redact::names(account))
            EXPECT_FALSE(out.contains(name, Qt::CaseInsensitive)) << c.text << " -> " << out.toStdString();
    }
}

TEST(UserAccount, FullNameFromTheCommentAndTheCurrentSeam) {
    EXPECT_EQ(fullNameFromGecos("Anna Berg,Room 4,555,", "anna"), QString("Anna Berg"));
    EXPECT_EQ(fullNameFromGecos("& Smith", "bob"), QString("Bob Smith"));
    EXPECT_EQ(fullNameFromGecos("", "bob"), QString());
    FakeAccount anna("anna", "Anna Berg");
    UserAccount::setCurrent(&anna);
    EXPECT_EQ(Redact::user("anna.berg"), QString("user.user"));
    UserAccount::setCurrent(nullptr);
    EXPECT_EQ(&UserAccount::current(), &UserAccount::host());
}
