// The platform's small values: ages on the clock, boxes, and text order.

#include <gtest/gtest.h>

#include <QSet>

#include "platform/Clock.h"
#include "platform/Geometry.h"
#include "platform/Text.h"

namespace rk {
namespace {

Clock::Time at(double seconds) {
    using namespace std::chrono;
    return Clock::Time(duration_cast<Clock::Time::duration>(duration<double>(seconds)));
}

TEST(Clock, NeverAndTheFutureAreOlderThanAnyAgeAndNothingOverflows) {
    const Clock::Time now = at(1'700'000'000);
    struct Case {
        const char* name;
        std::optional<Clock::Time> then;
        bool older;
    } cases[] = {
        {"never", std::nullopt, true},
        {"exactly at the limit", at(1'700'000'000 - 3.0), false},
        {"just past the limit", at(1'700'000'000 - 3.001), true},
        {"just now", now, false},
        // The wall clock was set back after the stamp: waiting for it to
        // catch up would stall whatever the stamp throttles.
        {"in the future (clock set back)", at(1'700'000'100), true},
        {"a hair in the future", at(1'700'000'000.001), true},
        // now minus the earliest time overflows a signed duration (the sanitizers would say).
        {"earliest representable time", Clock::Time::min(), true},
        {"latest representable time", Clock::Time::max(), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isOlderThan(c.then, 3.0, now), c.older) << c.name;
}

TEST(Rect, EqualityComparesStandardisedBoxesExactly) {
    const Rect box{10, 20, 300, 28};
    struct Case {
        const char* name;
        Rect other;
        bool equal;
    } cases[] = {
        {"the same numbers", Rect{10, 20, 300, 28}, true},
        {"negative width", Rect{310, 20, -300, 28}, true},
        {"negative height", Rect{10, 48, 300, -28}, true},
        {"both negative", Rect{310, 48, -300, -28}, true},
        {"moved by 1e-13", Rect{10, 20 + 1e-13, 300, 28}, false},
        {"wider by 1e-12", Rect{10, 20, 300 + 1e-12, 28}, false},
        {"negative width, one point off", Rect{311, 20, -300, 28}, false},
        {"mirrored, not standardised", Rect{10, 20, -300, 28}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(box == c.other, c.equal) << c.name;
        EXPECT_EQ(c.other == box, c.equal) << c.name;
        if (c.equal) {
            EXPECT_EQ(qHash(box), qHash(c.other)) << c.name;
        }
    }
    EXPECT_EQ((Rect{0, 0, 0, 0}), (Rect{-0.0, 0, -0.0, 0}));
    EXPECT_EQ(qHash(Rect{0, 0, 0, 0}), qHash(Rect{-0.0, 0, -0.0, 0}));
    EXPECT_EQ(QSet<Rect>({box, Rect{310, 48, -300, -28}}).size(), 1);
}

TEST(Text, OrdersByScalarValueNotUtf16Units) {
    const QString astral = QString::fromUcs4(U"\U0001F600");  // surrogate pair in UTF-16
    const QString high = QString::fromUcs4(U"\uFF21");        // fullwidth A, above the surrogates
    EXPECT_TRUE(Text::less(high, astral));
    EXPECT_FALSE(Text::less(astral, high));
    EXPECT_TRUE(Text::less("Zebra", "apple"));  // case matters: 'Z' < 'a'
    // Decomposed and composed forms are one title.
    EXPECT_EQ(Text::compare(QString::fromUtf8("e\xCC\x81"), QString::fromUtf8("\xC3\xA9")), 0);
}

}  // namespace
}  // namespace rk
