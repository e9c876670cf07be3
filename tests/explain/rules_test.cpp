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

TEST(ExplainRules, AnswersTheDropboxLikeSampleAndNotTheMadeUpOnes) {
    EXPECT_TRUE(ExplainRules::explain(
        item("TEST Dropbox Helper", "com.example.TESTdropbox", "TESTdropboxd", "Dropbox, Inc.")));
    EXPECT_FALSE(ExplainRules::explain(
        item("TEST Sync Agent", "com.example.TESTsyncagent", "TESTsyncagent", "Quindle Widgetworks Ltd")));
    EXPECT_FALSE(
        ExplainRules::explain(item("TEST Menu Clock", "com.example.TESTmenuclock", "TESTmenuclock")));
}

TEST(ExplainRules, MatchesAnyOfTheFourTextsIgnoringCase) {
    const auto dropbox = ExplainRules::explain(item("Dropbox"));
    ASSERT_TRUE(dropbox);
    EXPECT_EQ(ExplainRules::explain(item("x", "COM.GETDROPBOX.agent")), dropbox);
    EXPECT_EQ(ExplainRules::explain(item("x", {}, "DropBoxD")), dropbox);
    EXPECT_EQ(ExplainRules::explain(item("x", {}, {}, "DROPBOX, INC.")), dropbox);
}

TEST(ExplainRules, AWordNeverSpansTwoTexts) {
    EXPECT_FALSE(ExplainRules::explain(item("Drop", "box")));
}

TEST(ExplainRules, DoesNotAnswerMadeUpNames) {
    const ExplainItem madeUp[] = {
        item("Frobnicator Helper", "com.frobnicate.helperd", "frobd", "Frob Labs"),
        item("Update Agent", "com.example.updateagent", "updateagent"),
        item("Sync Service", "org.example.sync", "syncd", "Example Software GmbH"),
        item("Menu Bar Clock", "com.example.menubarclock"),
        item("Launcher", "net.example.launcher", "launcherd", "Acme Corp"),
        item("Backup Daemon", "com.example.backupd", "backupd"),
        item("Cloud Drive", "com.example.clouddrive", "clouddrive", "Nimbus Tech"),
        item("Mail Notifier", "com.example.mailnotifier"),
        item("Printer Status", "com.example.printerstatus", "printerstatus"),
        item("Zorblax", "io.zorblax.agent", "zorblax", "Zorblax Inc."),
        item("user's Helper", "com.user.helper", "helper"),
        item("Photo Importer", "com.example.photoimport", "importer", "Pixel Farm"),
    };
    for (const ExplainItem& candidate : madeUp) {
        EXPECT_FALSE(ExplainRules::explain(candidate)) << candidate.name.toStdString();
    }
}

// Guards the table as data: each word reaches its own rule, and each
// sentence is one plain sentence to the person.
TEST(ExplainRules, EveryWordReachesItsOwnSentence) {
    ASSERT_GE(ExplainRules::table().size(), 30);
    for (const auto& rule : ExplainRules::table()) {
        for (const QString& word : rule.words) {
            EXPECT_EQ(ExplainRules::explain(item(word)), rule.sentence) << word.toStdString();
        }
    }
}

TEST(ExplainRules, SentencesAreOneSentenceThatAddressesYou) {
    static const QRegularExpression you(QStringLiteral("\\byour?\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (const auto& rule : ExplainRules::table()) {
        const std::string text = rule.sentence.toStdString();
        EXPECT_TRUE(rule.sentence.endsWith('.')) << text;
        EXPECT_EQ(rule.sentence.count(QStringLiteral(". ")), 0) << text;
        EXPECT_TRUE(you.match(rule.sentence).hasMatch()) << text;
        EXPECT_LE(rule.sentence.size(), 160) << text;
    }
}
