#include <gtest/gtest.h>

#include "support/UiProbe.h"
#include "ui/BadgeAndBanner.h"
#include "ui/Palette.h"
#include "ui/Rendering.h"

namespace rk {
namespace {

class BadgeBannerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureUiApplication(); }
};

QString readable(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

// The person reads exactly the name and model, tags and runs of blanks
// included; the model ends the sentence once it is known.
TEST_F(BadgeBannerTest, BadgeShowsTheNameAndModelLiterally) {
    EXPECT_EQ(MacBadge::sentence(QStringLiteral("Anna's Mac"), QString()),
              QStringLiteral("This happens on Anna's Mac, this Mac."));
    const QString name = QStringLiteral("<b>Anna</b> &  <i>Bo</i>");
    MacBadge badge(false, name, QString());
    EXPECT_EQ(test::shownTexts(&badge), QStringList{"This happens on " + name + ", this Mac."});
    // Named again in place once the model text arrives.
    QLabel* label = badge.label();
    badge.setMac(name, QStringLiteral("Mac   <mini>"));
    EXPECT_EQ(badge.label(), label);
    EXPECT_EQ(readable(label->text()), "This happens on " + name + " (Mac   <mini>), this Mac.");
    EXPECT_TRUE(label->text().contains(QStringLiteral("<b>&lt;b&gt;Anna&lt;/b&gt; &amp;")));
}

TEST_F(BadgeBannerTest, PhaseGivesMarkAndColour) {
    const struct {
        Phase phase;
        Banner::Mark mark;
        QColor (*colour)(bool);
    } cases[] = {
        {Phase::idle, Banner::Mark::hourglass, Palette::blue},
        {Phase::working, Banner::Mark::spinner, Palette::blue},
        {Phase::selected, Banner::Mark::check, Palette::green},
        {Phase::nothingLeft, Banner::Mark::check, Palette::green},
        {Phase::circled, Banner::Mark::arrow, Palette::amber},
        {Phase::scroll, Banner::Mark::arrow, Palette::amber},
        {Phase::wrongPage, Banner::Mark::arrow, Palette::amber},
        {Phase::noAccessibility, Banner::Mark::arrow, Palette::amber},
        {Phase::notOpen, Banner::Mark::arrow, Palette::amber},
    };
    for (const auto& c : cases) {
        for (bool dark : {false, true}) {
            const Banner::Look look = Banner::look(c.phase, dark);
            EXPECT_EQ(look.mark, c.mark) << int(c.phase);
            EXPECT_EQ(look.colour, c.colour(dark)) << int(c.phase) << dark;
        }
    }
}

// The banner changes its mark in place and fades to the new colour; under
// static rendering it jumps there. A working banner spins, its outline at
// the top edge in the phase's blue.
TEST_F(BadgeBannerTest, BannerChangesMarkAndFadesToTheNewColour) {
    Rendering::setStatic(false);
    Banner banner(false, Phase::idle, QStringLiteral("Waiting."));
    banner.setState(Phase::circled, QStringLiteral("Marked in red."));
    EXPECT_EQ(banner.text(), QStringLiteral("Marked in red."));
    auto* mark = qobject_cast<SymbolView*>(banner.markWidget());
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->symbol(), Symbol::arrowDownCircle);
    EXPECT_EQ(mark->colour(), Palette::amber(false));
    EXPECT_NE(banner.shownColour(), Palette::amber(false)) << "mid-fade";
    StaticRenderingScope still;
    banner.setState(Phase::selected, QStringLiteral("Highlighted."));
    EXPECT_EQ(banner.shownColour(), Palette::green(false));
    for (bool dark : {false, true}) {
        Banner working(dark, Phase::working, QStringLiteral("One moment."));
        EXPECT_NE(qobject_cast<Spinner*>(working.markWidget()), nullptr);
        EXPECT_TRUE(
            test::near(test::pixel(test::render(&working, 400), {200, 0.7}), Palette::blue(dark), 40));
    }
}

TEST_F(BadgeBannerTest, LongSentenceWrapsFullyWithTheMarkOnTheFirstLine) {
    Banner banner(
        false, Phase::circled,
        QStringLiteral("I marked the row in red. Select it and press the minus button. ").repeated(3));
    test::render(&banner, 300);
    const auto labels = banner.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_GT(labels[0]->height(), 3 * labels[0]->fontMetrics().height());
    EXPECT_EQ(banner.markWidget()->y(), labels[0]->y());
}

}  // namespace
}  // namespace rk
