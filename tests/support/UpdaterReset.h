#pragma once
// Installed once by every updater test program: after each test it puts back
// what the updater keeps for the life of the process (its configuration,
// hooks and values: `KTUpdate::resetProcessState`), then what `more` names.

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "update/KTUpdate.h"

namespace rk::test {

inline bool resetUpdaterAfterEachTest(std::function<void()> more = [] {}) {
    struct Reset final : ::testing::EmptyTestEventListener {
        explicit Reset(std::function<void()> more) : more(std::move(more)) {}
        void OnTestEnd(const ::testing::TestInfo&) override { KTUpdate::resetProcessState(), more(); }
        std::function<void()> more;
    };
    ::testing::UnitTest::GetInstance()->listeners().Append(new Reset(std::move(more)));  // gtest owns it
    return true;
}

}  // namespace rk::test
