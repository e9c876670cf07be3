#include "platform/Geometry.h"

#include <gtest/gtest.h>

#include <QSet>

namespace rk {
namespace {

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

}  // namespace
}  // namespace rk
