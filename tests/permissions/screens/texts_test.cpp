// The sentences of the summary and done screens, and the balanced wrap that
// sets their closing lines.

#include <gtest/gtest.h>

#include <cmath>

#include "permissions/screens/BalancedWrap.h"
#include "permissions/screens/DoneScreen.h"
#include "permissions/screens/SummaryScreen.h"

namespace rk {
namespace {

KTPermission named(const QString& title, bool optional = false, std::optional<QString> cost = std::nullopt) {
    return KTPermission{
        .id = title.toLower(), .title = title, .isOptional = optional, .costOfSkipping = cost};
}

TEST(SummaryText, SubtitleCountsInWordsAfterTheLeadOrTheName) {
    const std::tuple<std::optional<QString>, int, QString> rows[] = {
        {std::nullopt, 1, "Sampler needs one permission from macOS. Here is what it is for."},
        {"  It tidies your lists.\n", 3,
         "It tidies your lists. It needs three permissions from macOS. Here is what each one is for."},
        {std::nullopt, 0, "Sampler needs zero permissions from macOS. Here is what each one is for."},
        {" \n ", 9, "Sampler needs nine permissions from macOS. Here is what each one is for."},
        {std::nullopt, 12, "Sampler needs 12 permissions from macOS. Here is what each one is for."},
    };
    for (const auto& [lead, count, expected] : rows)
        EXPECT_EQ(SummaryScreen::subtitle({.name = "Sampler", .summaryLead = lead}, count), expected);
    EXPECT_EQ(SummaryScreen::footerText({.name = "Sampler"}),
              "You can change any of these later in System Settings, or from Sampler Settings.");
    EXPECT_EQ(SummaryScreen::footerText({.name = "Sampler", .reopenHint = "its menu"}),
              "You can change any of these later in System Settings, or from its menu.");
}

TEST(DoneText, TitleAndSentenceForWhatIsStillOff) {
    const KTPermission disk = named("Full Disk Access");
    const KTPermission access = named("Accessibility");
    const KTPermission camera = named("Camera");
    const KTPermission screen = named("Screen Recording", true, "  Rows are described in words instead. \n");
    const KTPermission mic = named("Microphone", true, " ");
    const std::pair<QList<KTPermission>, QString> rows[] = {
        {{}, "Sampler has everything it needs."},
        {{access},
         "Sampler needs Accessibility to work. Go back to turn it on, or turn it on any time later."},
        {{disk, access},
         "Sampler needs Full Disk Access and Accessibility to work. Go back to turn them on, or turn them on "
         "any time later."},
        {{disk, access, camera},
         "Sampler needs Full Disk Access, Accessibility, and Camera to work. Go back to turn them on, or "
         "turn them on any time later."},
        {{access, screen},
         "Sampler needs Accessibility to work. Go back to turn it on, or turn it on any time later."},
        {{screen}, "Sampler works now. Screen Recording is still off. Rows are described in words instead."},
        {{mic}, "Sampler works now. Microphone is still off. You can turn it on any time."},
        {{screen, mic},
         "Sampler works now. Screen Recording and Microphone are still off. You can turn them on any time."},
    };
    for (const auto& [off, sentence] : rows) {
        EXPECT_EQ(DoneScreen::title(off), off.isEmpty() ? "All set." : "Ready when you are.");
        EXPECT_EQ(DoneScreen::sentence(off, "Sampler"), sentence);
    }
    // An id missing from the map counts as off.
    EXPECT_EQ(DoneScreen::outstanding({disk, access}, {{"full disk access", true}}).size(), 1);
    // The page's name never breaks.
    const QString nbsp(QChar(0x00A0));
    EXPECT_EQ(DoneScreen::footerText({.name = "Sampler"}),
              "Change these any time from Sampler Settings, or in System Settings" + nbsp + "›" + nbsp +
                  "Privacy" + nbsp + "&" + nbsp + "Security.");
}

// A text of `words` words of `wordWidth`, one `lineHeight` line for every
// run of words that fits the proposed width; counts each measurement.
struct FakeText {
    int words = 5;
    double wordWidth = 40;
    double lineHeight = 14;
    int measurements = 0;

    KTBalancedWrap::Measure measure() {
        return [this](const KTBalancedWrap::Proposal& p) {
            ++measurements;
            const double width = p.width.value_or(1e9);
            const int perLine = std::max(1, int(std::floor(width / wordWidth)));
            const int lines = (words + perLine - 1) / perLine;
            return QSizeF(std::min(words, perLine) * wordWidth, lines * lineHeight);
        };
    }
};

TEST(BalancedWrap, ProposalsItDoesNotNarrowPassThrough) {
    EXPECT_EQ(KTBalancedWrap::sizeThatFits({300, 50}, {}), QSizeF(0, 0)) << "no child";
    for (const std::optional<double> width :
         {std::optional<double>(), std::optional<double>(INFINITY), std::optional<double>(NAN),
          std::optional(1.0), std::optional(-4.0)}) {
        QList<KTBalancedWrap::Proposal> asked;
        const QSizeF size = KTBalancedWrap::sizeThatFits({width, 50}, [&](const KTBalancedWrap::Proposal& p) {
            asked << p;
            return QSizeF(7, 9);
        });
        EXPECT_EQ(size, QSizeF(7, 9));
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked[0].width.has_value(), width.has_value());
        EXPECT_TRUE(!width || std::isnan(*width) ? true : *asked[0].width == *width);
        EXPECT_EQ(asked[0].height, 50);
    }
}

TEST(BalancedWrap, AnOrphanWordIsPulledBackAfterFourteenHalvings) {
    FakeText text;  // five words: four and one at 170
    const QSizeF size = KTBalancedWrap::sizeThatFits({170, std::nullopt}, text.measure());
    EXPECT_EQ(text.measurements, 16) << "natural, 14 halvings, the check";
    EXPECT_EQ(size.height(), 28);
    EXPECT_NEAR(size.width(), 120 + 1, 0.05) << "three and two words, plus one point";
}

TEST(BalancedWrap, NeverWiderThanOfferedNorTallerThanNatural) {
    FakeText oneLine;
    EXPECT_EQ(KTBalancedWrap::sizeThatFits({200.5, std::nullopt}, oneLine.measure()), QSizeF(200.5, 14))
        << "a line that just fits gets no slack beyond the offer";
    // A child that grows taller at any narrower width: the natural size.
    int calls = 0;
    const QSizeF natural =
        KTBalancedWrap::sizeThatFits({300, std::nullopt}, [&](const KTBalancedWrap::Proposal& p) {
            ++calls;
            return QSizeF(250, *p.width >= 300 ? 20.0 : 20.6);
        });
    EXPECT_EQ(natural, QSizeF(250, 20));
    EXPECT_EQ(calls, 16);
}

}  // namespace
}  // namespace rk
