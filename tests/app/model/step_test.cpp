// A page link names its step; a raw value names its step exactly.

#include "app/model/Step.h"

#include <gtest/gtest.h>

using namespace rk;

TEST(Step, ForLink) {
    const struct {
        const char* link;
        std::optional<Step> want;
    } cases[] = {
        {"rowkeeper://accessibility", Step::accessibility},
        {"ROWKEEPER://Accessibility/", Step::accessibility},
        {"rowkeeper:loginitems", Step::loginItems},
        {"rowkeeper:///login-items/", Step::loginItems},
        {"rowkeeper://move-in", Step::moveIn},
        {"rowkeeper://movein", Step::moveIn},
        {"rowkeeper://start", Step::start},
        {"rowkeeper://", Step::start},
        {"rowkeeper:", Step::start},
        {"rowkeeper://done", std::nullopt},
        {"rowkeeper://login items", std::nullopt},     // invalid: empty host and path, yet not Start
        {"rowkeeper:%20accessibility", std::nullopt},  // only "/" is trimmed, not spaces
        {"https://login-items", std::nullopt},
        {"accessibility", std::nullopt},  // no scheme
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Step::forLink(QUrl(QString::fromUtf8(c.link))), c.want) << c.link;
}

// A raw value names its step exactly, case included.
TEST(Step, RawValuesAreExact) {
    EXPECT_EQ(Step::fromRawValue("loginItems"), Step(Step::loginItems));
    EXPECT_EQ(Step::fromRawValue("Accessibility"), std::nullopt);
    EXPECT_EQ(Step::fromRawValue("login-items"), std::nullopt);
}
