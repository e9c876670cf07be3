#include "support/DelegateFakes.h"

#include <memory>

namespace rk::test {

AppDelegateSeams delegateSeams(ModelWorld& world, const QString& frameFile) {
    if (!world.model) {
        world.model = std::make_unique<AppModel>(world.seams);
    }
    AppDelegateSeams delegate;
    delegate.model = world.model.get();
    delegate.detectMove = [] { return MoveIn::Move{}; };
    delegate.configureWizard = [] {};
    delegate.frameSettingsFile = frameFile;
    return delegate;
}

}  // namespace rk::test
