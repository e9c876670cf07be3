#pragma once
// The read-only half of the identity repair: which privacy service belongs
// to a permission's System Settings page, where the LaunchServices register
// tool is, and the repair's one way to run a tool. Nothing here changes the
// machine.
//
// `KTLegacyIdentityRepair` is a namespace rather than a struct of static
// functions because the repair's steps (discovery, plan, actions, the run at
// wizard start, its command line and self-tests) each keep their part of it
// in a header of their own.
//
// `tccService` and `services` are pure and may run on any thread, the main
// thread included (the wizard's screens call them while they draw). `run`
// blocks its thread for as long as the tool takes, so callers with a window
// keep it off the main thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <optional>

#include "permissions/Permission.h"
#include "platform/Machine.h"
#include "platform/SystemPaths.h"

namespace rk::KTLegacyIdentityRepair {

// The privacy service ("ScreenCapture", "Accessibility", "ListenEvent",
// "SystemPolicyAllFiles", "Microphone", "Camera", "AppleEvents") of a privacy
// page link, in the form the reset tool takes; none for any other link, the
// Login Items page among them.
std::optional<QString> tccService(const QUrl& settingsURL);

// The services of the permissions' pages, in order, each once; permissions
// whose page has no service add nothing.
QStringList services(const QList<KTPermission>& permissions);

// The file to run for the LaunchServices register tool: the first of its
// places that holds an executable file, or none. Looked up once per machine
// layout (so once per process in the app; again when a test re-roots the
// machine); safe from any thread.
std::optional<QString> lsregisterPath(const SystemPaths& paths = SystemPaths::current());

inline constexpr std::chrono::milliseconds defaultToolLimit{30'000};

// Runs `path` with `arguments` directly (never through a shell), both output
// channels on one pipe, asked to stop at `limit`: status -1 and the reason
// when it cannot start. See Machine::runMerged.
ToolResult run(const QString& path, const QStringList& arguments,
               std::chrono::milliseconds limit = defaultToolLimit);

}  // namespace rk::KTLegacyIdentityRepair
