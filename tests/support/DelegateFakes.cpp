#include "support/DelegateFakes.h"

namespace rk::test {

UpdaterCalls FakeUpdater::hooks() {
    const auto note = [this](const QString& call) {
        calls << call;
        if (onCall)
            onCall(call);
    };
    return {
        .appendMenuItems = [note](QMenu& menu) { note("menu items after " + menu.actions().last()->text()); },
        .touchModel = [note] { note("model"); },
        .start = [note](const QString& appKey) { note("start " + appKey); },
        .installPendingOnQuit = [note] { note("install on quit"); },
    };
}

AppDelegateSeams delegateSeams(ModelWorld& world, const QString& frameFile, FakeUpdater* updater) {
    if (!world.model) {
        world.model = std::make_unique<AppModel>(world.seams);
    }
    static FakeUpdater silent;  // for tests that do not look at the updater
    AppDelegateSeams delegate;
    delegate.model = world.model.get();
    delegate.detectMove = [] { return MoveIn::Move{}; };
    delegate.configureWizard = [] {};
    delegate.frameSettingsFile = frameFile;
    delegate.screens = [] {
        return std::vector<ScreenArea>{{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)}};
    };
    delegate.updater = (updater != nullptr ? updater : &silent)->hooks();
    return delegate;
}

}  // namespace rk::test
