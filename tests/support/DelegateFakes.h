#pragma once
// The application delegate over a `ModelWorld`: for tests of the shell, which
// sits above the model and so cannot be part of the model's own fakes.

#include <QString>

#include "app/AppDelegate.h"
#include "support/ModelFakes.h"

namespace rk::test {

// The delegate's stand-ins over the world's model (made, not started, when
// there is none yet): no move to another computer, no permission wizard, the
// window frame kept in `frameFile`.
AppDelegateSeams delegateSeams(ModelWorld& world, const QString& frameFile);

}  // namespace rk::test
