#include "app/model/Fixtures.h"

#include <gtest/gtest.h>

#include "finder/Decide.h"
#include "support/QtApp.h"

using namespace rk;

namespace {

// Fonts need a GUI application; the offscreen platform is enough.
[[maybe_unused]] const auto* const kGui =
    ::testing::AddGlobalTestEnvironment(new test::AppEnvironment(test::AppKind::gui, "fixtures_test"));

class FixturesTest : public ::testing::Test {
protected:
    void TearDown() override { Fixtures::marketing = false; }
};

QStringList everyText(Step step) {
    QStringList texts;
    for (const PaneRow& row : Fixtures::rows(step))
        texts << row.title;
    for (const Candidate& c : Fixtures::candidates(step)) {
        texts << c.key << c.names << c.liveness.evidence() << c.testWhy.value_or("") << c.detail;
    }
    for (const ExplainItem& item : Fixtures::explainItems(step)) {
        texts << item.key << item.name << item.id.value_or("") << item.file.value_or("");
    }
    return texts;
}

int redPixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 110 && c.blue() < 110)
                ++n;
        }
    }
    return n;
}

}  // namespace

TEST_F(FixturesTest, WithoutMarketingTextsStayAsTheyAre) {
    for (const Fixtures::Rename& rename : Fixtures::marketingNames()) {
        EXPECT_EQ(Fixtures::t(rename.from), rename.from);
        EXPECT_EQ(Fixtures::t("x " + rename.from + " y"), "x " + rename.from + " y");
    }
}

TEST_F(FixturesTest, MarketingReplacesEachMarkedTextOnceAndWhole) {
    Fixtures::marketing = true;
    const QString app = Fixtures::t("TEST Sample App");
    EXPECT_FALSE(app.contains("TEST"));
    EXPECT_EQ(Fixtures::t("Open TEST: Sample App now"), "Open " + app + " now");
    // One piece, not "TEST Sample App" followed by ": Accessibility".
    const QString accessibility = Fixtures::t("TEST Sample App: Accessibility");
    EXPECT_FALSE(accessibility.contains("TEST"));
    EXPECT_EQ(accessibility, Fixtures::marketingNames()[2].to);
    EXPECT_EQ(Fixtures::t("TEST: Ghost App"), Fixtures::t("TEST Gone"));
    EXPECT_EQ(Fixtures::t("TEST Ghost App"), Fixtures::t("TEST Gone"));
    EXPECT_EQ(Fixtures::t("One of your own background jobs (TEST sample), still in use."),
              "One of your own background jobs, still in use.");
    EXPECT_EQ(Fixtures::t("a program in a temporary folder"),
              "a helper left behind by an app that was removed");
}

// The order of the table is what makes each replacement whole: a text that
// contains an earlier "from" could never be matched itself, and a "to" that
// contains a later "from" would be replaced twice.
TEST_F(FixturesTest, LongerMarkedTextsComeFirst) {
    const auto& names = Fixtures::marketingNames();
    ASSERT_EQ(names.size(), 18);
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(names[i].to.contains("TEST")) << names[i].to.toStdString();
        for (qsizetype j = i + 1; j < names.size(); ++j) {
            EXPECT_FALSE(names[j].from.contains(names[i].from))
                << names[j].from.toStdString() << " comes after " << names[i].from.toStdString();
            EXPECT_FALSE(names[i].to.contains(names[j].from)) << names[i].to.toStdString();
        }
    }
}

TEST_F(FixturesTest, MarketingLeavesNoMarkedTextOnThePages) {
    Fixtures::marketing = true;
    for (Step step : Step::allCases()) {
        for (const QString& text : everyText(step)) {
            EXPECT_FALSE(text.contains("TEST"))
                << step.rawValue().toStdString() << ": " << text.toStdString();
        }
    }
}

TEST_F(FixturesTest, OnlyTheSettingsStepsHaveData) {
    for (Step step : {Step::start, Step::moveIn, Step::done}) {
        EXPECT_TRUE(Fixtures::rows(step).isEmpty()) << step.rawValue().toStdString();
        EXPECT_TRUE(Fixtures::candidates(step).isEmpty());
        EXPECT_TRUE(Fixtures::headings(step).isEmpty());
        EXPECT_TRUE(Fixtures::explainItems(step).isEmpty());
    }
    EXPECT_TRUE(Fixtures::explainItems(Step::accessibility).isEmpty());
    const auto items = Fixtures::explainItems(Step::loginItems);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].key, Fixtures::sampleJobKey());
}

// The made-up rows, row by row: x 330 and width 460 in screen points, y the
// made-up window's top (100) plus the offset; background rows are the only
// ones that cannot be selected.
TEST_F(FixturesTest, RowsAreExactlyTheTable) {
    struct Row {
        PaneSection section;
        const char* title;
        int index;
        double offset;
        double height;
        bool blank;
    };
    const struct Page {
        Step step;
        QList<Row> rows;
    } pages[] = {
        {Step::accessibility,
         {{PaneSection::accessibility, "bash", 0, 76, 36, false},
          {PaneSection::accessibility, "bash", 1, 116, 36, true},
          {PaneSection::accessibility, "TEST: Old Helper", 2, 156, 36, true},
          {PaneSection::accessibility, "TEST: Sample App", 3, 196, 36, false}}},
        {Step::loginItems,
         {{PaneSection::openAtLogin, "TEST: Sample App", 0, 86, 36, false},
          {PaneSection::background, "TEST: Ghost App", 0, 170, 44, true},
          {PaneSection::background, "python3", 1, 222, 44, false}}},
    };
    for (const Page& page : pages) {
        const QList<PaneRow> rows = Fixtures::rows(page.step);
        ASSERT_EQ(rows.size(), page.rows.size()) << page.step.rawValue().toStdString();
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const Row& want = page.rows[i];
            const std::string where = page.step.rawValue().toStdString() + " #" + std::to_string(i + 1);
            EXPECT_EQ(rows[i].section, want.section) << where;
            EXPECT_EQ(rows[i].title, QString::fromUtf8(want.title)) << where;
            EXPECT_EQ(rows[i].index, want.index) << where;
            EXPECT_EQ(rows[i].frame, (Rect{330, 100 + want.offset, 460, want.height})) << where;
            EXPECT_EQ(rows[i].iconBlank, std::optional<bool>(want.blank)) << where;
            EXPECT_EQ(rows[i].selectable, want.section != PaneSection::background) << where;
        }
    }
}

// Blank icons stand for programs that are gone: per title, as many blank
// rows as gone candidates.
TEST_F(FixturesTest, RowsAgreeWithTheirCandidates) {
    for (Step step : {Step::accessibility, Step::loginItems}) {
        const auto rows = Fixtures::rows(step);
        const auto candidates = Fixtures::candidates(step);
        QMap<QString, int> blank, gone;
        for (const PaneRow& row : rows) {
            if (row.iconBlank.value_or(false))
                ++blank[row.title];
        }
        for (const Candidate& c : candidates) {
            if (c.liveness.isGone())
                ++gone[c.primaryName()];
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const PaneRow& r) {
                return c.matches(r.title);
            })) << c.key.toStdString();
        }
        EXPECT_EQ(blank, gone) << step.rawValue().toStdString();
    }
}

TEST_F(FixturesTest, TheDemoPagesHaveRowsToRemove) {
    for (Step step : {Step::accessibility, Step::loginItems}) {
        const Decision decision = Decide::page(Fixtures::candidates(step), Fixtures::rows(step));
        EXPECT_GT(decision.removeCount(), 0) << step.rawValue().toStdString();
        EXPECT_FALSE(decision.marks.isEmpty());
    }
}

// In points, at twice the pixels.
TEST_F(FixturesTest, PhotoSizes) {
    const std::pair<Step::Value, int> heights[] = {
        {Step::accessibility, 256}, {Step::loginItems, 290}, {Step::start, 324}, {Step::moveIn, 324}};
    for (const auto& [step, height] : heights) {
        const auto photo = Fixtures::photo(step, Decision{});
        ASSERT_TRUE(photo) << height;
        EXPECT_EQ(photo->deviceIndependentSize(), QSizeF(520, height));
        EXPECT_EQ(photo->size(), QSize(1040, 2 * height));
    }
}

// Window points to photo pixels.
QRect pixels(const Rect& screen) {
    return QRect(int((screen.x - Fixtures::photoWindow.x) * 2), int((screen.y - Fixtures::photoWindow.y) * 2),
                 int(screen.width * 2), int(screen.height * 2));
}

// The decision's marks are drawn over the made-up window, on their rows.
TEST_F(FixturesTest, ThePhotoShowsTheDecisionsMarks) {
    const auto rows = Fixtures::rows(Step::accessibility);
    const auto plain = Fixtures::photo(Step::accessibility, Decision{});
    ASSERT_TRUE(plain);
    EXPECT_EQ(redPixels(*plain, plain->rect()), 0);

    Decision decision;
    decision.marks << Mark{Mark::Kind::remove, rows[2], "Remove this"};
    const auto marked = Fixtures::photo(Step::accessibility, decision);
    ASSERT_TRUE(marked);
    EXPECT_GT(redPixels(*marked, pixels(rows[2].frame)), 100);
    EXPECT_EQ(redPixels(*marked, pixels(rows[0].frame)), 0);
}
