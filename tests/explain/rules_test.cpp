#include <gtest/gtest.h>

#include <QRegularExpression>

#include "explain/ExplainRules.h"

using namespace rk;

namespace {
ExplainItem item(const QString& name, std::optional<QString> id = {}, std::optional<QString> file = {},
                 std::optional<QString> vendor = {}) {
    return ExplainItem{QStringLiteral("k"), name, std::move(id), std::move(file), std::move(vendor)};
}
}  // namespace

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
