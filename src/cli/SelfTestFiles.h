#pragma once
// The self-test's file-tree area: the Move-In newest-file walk, in a real
// temporary folder, must not be fooled by a sandboxed app's links and
// keychain, by a path that is itself a link, or by a file deeper than it
// looks; and it must see a real file written since the move. Then the
// device-move detection runs its own labelled checks. The temporary tree
// lives only while these checks run and is removed afterwards.

#include <QDir>
#include <QString>

#include "cli/SelfTestChecks.h"

namespace rk {

struct SelfTestFiles {
    // Checks 31 to 36, in order, with the tree in a fresh folder inside
    // `tempFolder` (the user's temporary folder unless a test names another).
    static void run(SelfTestChecks& checks, const QString& tempFolder = QDir::tempPath());
};

}  // namespace rk
