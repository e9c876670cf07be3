// What the explanations start from: the page's items (redacted, once per
// key), the note when no model ran, the rule table, and the redaction.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "explain/ExplainPage.h"
#include "explain/ExplainRules.h"
#include "explain/Redact.h"
#include "support/ExplainFakes.h"

using namespace rk;
using rk::test::FakeAccount;
using Source = Explanation::Source;

namespace {

constexpr qint64 agentType = 0x8;
constexpr qint64 daemonType = 0x10;
constexpr qint64 appType = 0x2;
constexpr qint64 on = 0x1;

BTMRecord record(const QString& name, qint64 type, qint64 disposition, std::optional<QString> identifier,
                 std::optional<QString> team = {}) {
    BTMRecord r;
    r.user = "501";
    r.name = name;
    r.type = type;
    r.disposition = disposition;
    r.identifier = std::move(identifier);
    r.teamIdentifier = std::move(team);
    return r;
}

QStringList keys(const QList<ExplainItem>& items) {
    QStringList list;
    for (const auto& item : items)
        list.append(item.key);
    return list;
}

const FakeAccount anna("anna", "Anna Berg");

ExplainItem item(const QString& name, std::optional<QString> id = {}, std::optional<QString> file = {},
                 std::optional<QString> vendor = {}) {
    return ExplainItem{QStringLiteral("k"), name, std::move(id), std::move(file), std::move(vendor)};
}

}  // namespace

TEST(ExplainPage, OffersEnabledAgentsAndDaemonsOncePerKeyInStoreOrder) {
    const QList<BTMRecord> records{
        record("Sync", agentType, on, "16.com.vendor.sync"),
        record("Off", agentType, 0, "16.com.vendor.off"),
        record("App only", appType, on, "2.com.vendor.app"),
        record("Backup", daemonType | appType, on | 0x2, "8.com.vendor.backup"),
        record("Sync again", agentType, on, "16.com.vendor.sync"),
        record("No identifier", agentType, on, std::nullopt),
        record("No identifier", daemonType, on, std::nullopt),
        record("Ours", agentType, on, "16.com.maker.rowkeeper", ExplainPage::ownTeamIdentifier()),
        record("Other team", agentType, on, "16.com.other.tool", "ZZZZZZZZZZ"),
    };
    const QList<ExplainItem> items = ExplainPage::loginItems(records, anna);
    EXPECT_EQ(keys(items), (QStringList{"16.com.vendor.sync", "8.com.vendor.backup", "No identifier",
                                        "16.com.other.tool"}));
    EXPECT_EQ(items[0].name, "Sync");  // the first record of a key wins
}

TEST(ExplainPage, RedactsNameIdentifierAndFileButNotKeyOrVendor) {
    BTMRecord labelled = record("Anna's Helper", agentType, on, "16.com.anna.helper");
    labelled.bundleIdentifier = "com.anna.bundle";
    labelled.executablePath = "/Users/anna/Applications/Tool.app/Contents/MacOS/annahelper";
    labelled.developerName = "Anna Berg";
    BTMRecord bundleOnly = record("Berg", daemonType, on, "nodot");
    bundleOnly.bundleIdentifier = "org.berg.thing";

    const QList<ExplainItem> items = ExplainPage::loginItems({labelled, bundleOnly}, anna);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0], (ExplainItem{"16.com.anna.helper", "user's Helper", "com.user.helper", "userhelper",
                                     "Anna Berg"}));
    // No label (no dot in the identifier): the bundle identifier stands in.
    EXPECT_EQ(items[1], (ExplainItem{"nodot", "user", "org.user.thing", std::nullopt, std::nullopt}));
}

TEST(ExplainPage, NoteCountsMissingItemsOnlyWhenNoModelRanAndWithoutRuleKeepsTheUnknown) {
    const QList<ExplainItem> items{
        {"z", "Zorblax", {}, {}, {}}, {"d", "Dropbox", {}, {}, {}}, {"q", "Q", {}, {}, {}}};
    const Explanation some{"A", "x", Source::rules};
    EXPECT_EQ(ExplainPage::note(items, {{"z", some}, {"d", some}}, Source::none),
              QString("The plain-English explanations did not run for 1 item (no model available, or AI "
                      "explanations are off)."));
    EXPECT_EQ(ExplainPage::note(items, {{"z", some}}, Source::none),
              QString("The plain-English explanations did not run for 2 items (no model available, or AI "
                      "explanations are off)."));
    EXPECT_EQ(ExplainPage::note(items, {}, Source::ai), std::nullopt);
    EXPECT_EQ(ExplainPage::note(items, {{"z", some}, {"d", some}, {"q", some}}, Source::none), std::nullopt);
    EXPECT_EQ(keys(ExplainPage::withoutRule(items)), (QStringList{"z", "q"}));
}

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
    FakeAccount account("anna", "Anna Berg");
    UserAccount::setCurrent(&account);
    EXPECT_EQ(Redact::user("anna.berg"), QString("user.user"));
    UserAccount::setCurrent(nullptr);
    EXPECT_EQ(&UserAccount::current(), &UserAccount::host());
}

// Any of the four texts, ignoring case, as the real helpers carry them: the
// product's word stands between dots, dashes, underscores, spaces or commas.
TEST(ExplainRules, RealHelpersAnswerWithTheirOwnSentence) {
    struct Case {
        ExplainItem item;
        const char* word;  // reaches the expected rule on its own
    };
    const Case cases[] = {
        {item("x", "COM.GETDROPBOX.DROPBOX.agent"), "dropbox"},
        {item("x", {}, "DropBox-Updater"), "dropbox"},
        {item("x", {}, {}, "DROPBOX, INC."), "dropbox"},
        {item("SetappAgent", "com.setapp.DesktopClient.SetappAgent"), "setapp"},
        {item("Box", "com.box.desktop.helper", {}, "Box, Inc."), "box drive"},
        {item("x", {}, {}, "Box, Inc."), "box drive"},
        {item("Autoupdate", "org.sparkle-project.Sparkle.Autoupdate"), "sparkle"},
        {item("x", "com.teamviewer.teamviewer_service"), "teamviewer"},
        {item("x", "org.pqrs.karabiner.karabiner_console_user_server"), "karabiner"},
        {item("x", "homebrew.mxcl.postgresql@14"), "homebrew"},
    };
    for (const Case& c : cases) {
        const std::string name = c.item.id.value_or(c.item.name).toStdString();
        EXPECT_TRUE(ExplainRules::explain(c.item)) << name;
        EXPECT_EQ(ExplainRules::explain(c.item), ExplainRules::explain(item(c.word))) << name;
    }
}

TEST(ExplainRules, DoesNotAnswerMadeUpNames) {
    const ExplainItem madeUp[] = {
        item("Frobnicator Helper", "com.frobnicate.helperd", "frobd", "Frob Labs"),
        item("TEST Sync Agent", "com.example.TESTsyncagent", "TESTsyncagent", "Quindle Widgetworks Ltd"),
        item("Cloud Drive", "com.example.clouddrive", "clouddrive", "Nimbus Tech"),
        item("user's Helper", "com.user.helper", "helper"),
        // A word never spans two texts.
        item("Drop", "box"),
        // A rule's word inside a longer word names another program.
        item("Reset App", "com.example.resetapp", "resetapp"),
        item("Pi Status", "com.example.pistatus", "pistatus"),
        item("Toolbox Agent", "com.example.toolbox", "toolboxd", "Toolbox, Inc."),
        item("Parallel Search", "com.example.parallelsearch", "parallelsearchd"),
        item("Steamboat Notes", "com.example.steamboat"),
    };
    for (const ExplainItem& candidate : madeUp)
        EXPECT_FALSE(ExplainRules::explain(candidate)) << candidate.name.toStdString();
}

// Guards the table as data: each word reaches its own rule, and each
// sentence is one plain sentence to the person.
TEST(ExplainRules, EveryWordReachesItsOwnSentenceOfOneLineToYou) {
    static const QRegularExpression you(QStringLiteral("\\byour?\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    ASSERT_GE(ExplainRules::table().size(), 30);
    for (const auto& rule : ExplainRules::table()) {
        for (const QString& word : rule.words)
            EXPECT_EQ(ExplainRules::explain(item(word)), rule.sentence) << word.toStdString();
        const std::string text = rule.sentence.toStdString();
        EXPECT_TRUE(rule.sentence.endsWith('.')) << text;
        EXPECT_EQ(rule.sentence.count(QStringLiteral(". ")), 0) << text;
        EXPECT_TRUE(you.match(rule.sentence).hasMatch()) << text;
        EXPECT_LE(rule.sentence.size(), 160) << text;
    }
}
