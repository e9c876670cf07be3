#pragma once
// The updater keeps its configuration, hooks and a few values of its own for
// the life of the process, and its views keep a shared menu controller. Every
// updater test program installs this listener once: after each test it puts
// all of it back as the process started it, in one place
// (`KTUpdate::resetProcessState`, then `more`: what a higher layer keeps).

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "update/KTUpdate.h"

namespace rk::test {

inline bool resetUpdaterAfterEachTest(std::function<void()> more = {}) {
    struct Reset final : ::testing::EmptyTestEventListener {
        std::function<void()> more;
        void OnTestEnd(const ::testing::TestInfo&) override {
            KTUpdate::resetProcessState();
            if (more)
                more();
        }
    };
    auto* reset = new Reset;  // gtest owns it
    reset->more = std::move(more);
    ::testing::UnitTest::GetInstance()->listeners().Append(reset);
    return true;
}

}  // namespace rk::test
