#pragma once
// The application delegate over a `ModelWorld`: for tests of the shell, which
// sits above the model and so cannot be part of the model's own fakes.

#include "app/AppDelegate.h"
#include "support/ModelFakes.h"

namespace rk::test {

// Stands in for the updater the delegate drives: nothing is started or
// installed; each call is noted in `calls` ("menu items after <the item
// before>", "model", "start <key>", "install on quit"), and `onCall` runs
// after each, for tests that look at the world at that moment.
struct FakeUpdater {
    QStringList calls;
    std::function<void(const QString& call)> onCall;

    // The delegate's updater calls, noting into this fake.
    UpdaterCalls hooks();
};

// The delegate's stand-ins over the world's model (made, not started, when
// there is none yet): no move to another computer, no permission wizard, the
// window frame kept in `frameFile`, one 1440 x 900 screen with a 25-point
// menu bar, and `updater` (a silent one when none) in place of the updater.
AppDelegateSeams delegateSeams(ModelWorld& world, const QString& frameFile, FakeUpdater* updater = nullptr);

}  // namespace rk::test
