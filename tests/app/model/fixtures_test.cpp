// The made-up data's rules: marketing names replace each marked text once and
// whole, rows agree with their candidates and leave something to remove, and
// the photo shows the decision's marks on the rows.

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

// The order of the table is what makes each replacement whole: a text that
// contains an earlier "from" could never be matched itself, and a "to" that
// contains a later "from" would be replaced twice.
TEST_F(FixturesTest, MarketingReplacesEachMarkedTextOnceAndWhole) {
    EXPECT_EQ(Fixtures::t("TEST Sample App: Accessibility"), "TEST Sample App: Accessibility");
    const auto& names = Fixtures::marketingNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(names[i].to.contains("TEST")) << names[i].to.toStdString();
        for (qsizetype j = i + 1; j < names.size(); ++j) {
            EXPECT_FALSE(names[j].from.contains(names[i].from))
                << names[j].from.toStdString() << " comes after " << names[i].from.toStdString();
            EXPECT_FALSE(names[i].to.contains(names[j].from)) << names[i].to.toStdString();
        }
    }
    Fixtures::marketing = true;
    // One piece, not "TEST Sample App" followed by ": Accessibility".
    EXPECT_EQ(Fixtures::t("TEST Sample App: Accessibility"), "Marblewick Notes: Accessibility");
    for (Step step : Step::allCases()) {
        QStringList texts;
        for (const PaneRow& row : Fixtures::rows(step))
            texts << row.title;
        for (const Candidate& c : Fixtures::candidates(step))
            texts << c.key << c.names << c.liveness.evidence() << c.testWhy.value_or("") << c.detail;
        for (const ExplainItem& item : Fixtures::explainItems(step))
            texts << item.key << item.name << item.id.value_or("") << item.file.value_or("");
        for (const QString& text : texts)
            EXPECT_FALSE(text.contains("TEST"))
                << step.rawValue().toStdString() << ": " << text.toStdString();
    }
}

// Rows lie in the made-up window, top to bottom; only background rows cannot
// be selected; blank icons stand for programs that are gone (per title, as
// many blank rows as gone candidates); and each page has a row to remove.
TEST_F(FixturesTest, RowsAgreeWithTheirCandidatesAndLeaveSomethingToRemove) {
    for (Step step : {Step::accessibility, Step::loginItems}) {
        SCOPED_TRACE(step.rawValue().toStdString());
        const auto rows = Fixtures::rows(step);
        const auto candidates = Fixtures::candidates(step);
        QMap<QString, int> blank, gone;
        double below = Fixtures::photoWindow.y;
        for (const PaneRow& row : rows) {
            EXPECT_GE(row.frame.y, below);
            EXPECT_GE(row.frame.x, Fixtures::photoWindow.x);
            EXPECT_LE(row.frame.x + row.frame.width, Fixtures::photoWindow.x + Fixtures::photoWindow.width);
            below = row.frame.y + row.frame.height;
            EXPECT_EQ(row.selectable, row.section != PaneSection::background);
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
        EXPECT_EQ(blank, gone);
        const Decision decision = Decide::page(candidates, rows);
        EXPECT_GT(decision.removeCount(), 0);
        EXPECT_FALSE(decision.marks.isEmpty());
    }
}

int redPixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.red() > 200 && c.green() < 110 && c.blue() < 110;
        }
    }
    return n;
}

// Window points to photo pixels.
QRect pixels(const Rect& screen) {
    return QRect(int((screen.x - Fixtures::photoWindow.x) * 2), int((screen.y - Fixtures::photoWindow.y) * 2),
                 int(screen.width * 2), int(screen.height * 2));
}

// In points at twice the pixels, every row inside; the decision's marks are
// drawn over the made-up window, on their rows.
TEST_F(FixturesTest, ThePhotoShowsTheDecisionsMarks) {
    for (Step step : Step::allCases()) {
        const auto photo = Fixtures::photo(step, Decision{});
        ASSERT_TRUE(photo);
        EXPECT_EQ(photo->size(), (photo->deviceIndependentSize() * 2).toSize());
        EXPECT_EQ(photo->deviceIndependentSize().width(), Fixtures::photoWindow.width);
        for (const PaneRow& row : Fixtures::rows(step))
            EXPECT_TRUE(photo->rect().contains(pixels(row.frame))) << row.title.toStdString();
    }
    const auto rows = Fixtures::rows(Step::accessibility);
    const auto plain = Fixtures::photo(Step::accessibility, Decision{});
    EXPECT_EQ(redPixels(*plain, plain->rect()), 0);
    Decision decision;
    decision.marks << Mark{Mark::Kind::remove, rows[2], "Remove this"};
    const auto marked = Fixtures::photo(Step::accessibility, decision);
    ASSERT_TRUE(marked);
    EXPECT_GT(redPixels(*marked, pixels(rows[2].frame)), 100);
    EXPECT_EQ(redPixels(*marked, pixels(rows[0].frame)), 0);
}

}  // namespace
