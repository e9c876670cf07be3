#pragma once
// The updater keeps its configuration, its hooks and a few values of its own
// for the life of the process (KTUpdate.h), and its views keep a shared menu
// controller. A test that sets any of them would hand them to the next test
// of its program, so every updater test program installs this listener
// once: after each test it puts all of it back as the process started it,
// in one place (`KTUpdate::resetProcessState`, then what `more` resets).

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "update/KTUpdate.h"

namespace rk::test {

class UpdaterReset final : public ::testing::EmptyTestEventListener {
public:
    explicit UpdaterReset(std::function<void()> more) : more_(std::move(more)) {}

    void OnTestEnd(const ::testing::TestInfo&) override {
        KTUpdate::resetProcessState();
        if (more_)
            more_();
    }

private:
    std::function<void()> more_;
};

// Installs the listener, which gtest then owns; `more` resets what a higher
// layer keeps (the views' shared menu controller).
inline bool resetUpdaterAfterEachTest(std::function<void()> more = {}) {
    ::testing::UnitTest::GetInstance()->listeners().Append(new UpdaterReset(std::move(more)));
    return true;
}

}  // namespace rk::test
