#include <gtest/gtest.h>

#include "explain/ExplainPage.h"
#include "support/ModelFakes.h"
#include "support/UiProbe.h"
#include "ui/ExplainCard.h"
#include "ui/PaneView.h"
#include "ui/Rendering.h"

namespace rk {
namespace {

using test::shows;

class ExplainCardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }

    StaticRenderingScope still;
    test::ModelWorld world;
};

QList<ExplainItem> items(int n, bool withId = true) {
    QList<ExplainItem> list;
    for (int i = 1; i <= n; ++i) {
        ExplainItem item;
        item.key = QStringLiteral("k%1").arg(i);
        item.name = QStringLiteral("TESTitem%1").arg(i);
        if (withId)
            item.id = QStringLiteral("com.example.TEST%1").arg(i);
        list.append(item);
    }
    return list;
}

TEST_F(ExplainCardTest, QuestionConsentListNameLineAndSentence) {
    EXPECT_EQ(ExplainCard::question(1), QStringLiteral("Explain 1 unfamiliar item with AI?"));
    EXPECT_EQ(ExplainCard::question(2), QStringLiteral("Explain 2 unfamiliar items with AI?"));
    // Twelve names, then the rest counted.
    const std::tuple<int, int, const char*> cases[] = {
        {12, 12, "TESTitem12 · com.example.TEST12"}, {13, 13, "… and 1 more"}, {40, 13, "… and 28 more"}};
    for (const auto& [n, count, last] : cases) {
        const QStringList lines = ExplainCard::consentList(items(n)).split(QLatin1Char('\n'));
        EXPECT_EQ(lines.size(), count) << n;
        EXPECT_EQ(lines.last(), QString::fromUtf8(last)) << n;
        EXPECT_EQ(lines.first(), QStringLiteral("TESTitem1 · com.example.TEST1"));
    }
    const ExplainItem bare = items(1, false).first();
    EXPECT_EQ(ExplainCard::consentList({bare}), QStringLiteral("TESTitem1"));
    EXPECT_EQ(ExplainCard::nameLine(bare), QStringLiteral("TESTitem1"));
    const QList<ExplainItem> list = items(2);
    EXPECT_EQ(ExplainCard::nameLine(list[0]), QStringLiteral("TESTitem1  ·  com.example.TEST1"));
    ExplanationMap answers;
    answers.insert("k1", Explanation{"x", "Keeps x current.", Explanation::Source::rules});
    EXPECT_EQ(ExplainCard::sentence(list[0], answers), QStringLiteral("Keeps x current."));
    EXPECT_EQ(ExplainCard::sentence(list[1], answers), QStringLiteral("No explanation yet."));
}

TEST_F(ExplainCardTest, HiddenWhenThereIsNothingToExplain) {
    AppModel& m = world.startModel();
    m.go(Step::accessibility);
    ExplainCard card(m, false);
    EXPECT_TRUE(card.isEmpty());
    EXPECT_TRUE(card.isHidden());
}

TEST_F(ExplainCardTest, UnknownItemAsksConsentAndTheAnswerRemovesThePrompt) {
    const QString plist = QStringLiteral("/Users/anna/Library/LaunchAgents/com.example.TESTmystery.plist");
    world.writeBtm(
        {test::agentItem(QStringLiteral("<i>TESTmystery</i>"), QStringLiteral("com.example.TESTmystery"),
                         plist, true, QStringLiteral("/opt/TESTmystery/bin/agent"))});
    AppModel& m = world.startModel();
    ASSERT_EQ(m.aiConsent(), 0);
    m.go(Step::loginItems);
    ASSERT_FALSE(m.explainPending().isEmpty());
    PaneView page(m, false);
    auto cards = test::visibleChildren<ExplainCard>(&page);
    ASSERT_EQ(cards.size(), 1);
    EXPECT_TRUE(cards[0]->asksConsent());
    EXPECT_TRUE(shows(&page, ExplainCard::question(m.explainPending().size())));
    // The record's name, tags and all, is shown as text.
    EXPECT_TRUE(test::showsPart(&page, "<i>TESTmystery</i>"));

    test::press(&page, "Explain them");
    EXPECT_EQ(m.aiConsent(), 1);
    test::settle();
    cards = test::visibleChildren<ExplainCard>(&page);
    ASSERT_EQ(cards.size(), 1);
    EXPECT_FALSE(cards[0]->asksConsent());
    EXPECT_EQ(test::buttonTitled(&page, "Explain them"), nullptr);
    // A stored "no" is an answer too: no prompt.
    m.setAiConsent(2);
    EXPECT_FALSE(ExplainCard(m, false).asksConsent());
}

// Demo mode lists the made-up items; a name of the person's, pending from
// before, is never offered beside them: the question names what a yes
// would send.
TEST_F(ExplainCardTest, DemoModeNamesOnlyMadeUpItems) {
    world.writeBtm({test::agentItem("TESTmystery", "com.example.TESTmystery",
                                    "/Users/anna/Library/LaunchAgents/m.plist", true, "/opt/m")});
    AppModel& m = world.startModel();
    m.go(Step::loginItems);
    ASSERT_FALSE(m.explainPending().isEmpty());
    m.setDemo(true);
    m.go(Step::loginItems);
    EXPECT_EQ(m.consentItems(), ExplainPage::withoutRule(m.explainItems()));
    ExplainCard card(m, true);
    EXPECT_FALSE(test::showsPart(&card, "TESTmystery"));
    EXPECT_EQ(card.asksConsent(), !m.consentItems().isEmpty());
    EXPECT_TRUE(shows(&card, "Everything else running in the background, in plain English"));
    for (const ExplainItem& item : m.explainItems())
        EXPECT_TRUE(shows(&card, ExplainCard::nameLine(item))) << item.name.toStdString();
}

}  // namespace
}  // namespace rk
