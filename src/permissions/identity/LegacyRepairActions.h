#pragma once
// The identity repair's changes to the machine, and `apply`, which carries
// out a plan step by step: privacy resets through the reset tool,
// registering and unregistering bundles with LaunchServices, the temporary
// stub app that carries a former identifier no registered copy carries any
// more, the memory of the stub resets already done (user defaults,
// "KTLegacyIdentityRepair.stubReset." + slug), and disabling copies in
// folders the app owns.
//
// Everything here is synchronous and blocks its thread for seconds (tools
// with 30-second limits, a 2-second wait for a stub to register), so callers
// with a window run it off the main thread: the repair at wizard start on a
// worker, the command line on its own main thread. Nothing throws; every
// failure is a log line and the run goes on. Bundle paths are logical and
// the tools are given them as they are; files are touched through
// SystemPaths::disk.

#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

#include "permissions/identity/LegacyRepairPlan.h"
#include "platform/Plist.h"
#include "platform/SystemPaths.h"

namespace rk::KTLegacyIdentityRepair {

// Receives each line of a run, in order, on the thread that runs it.
using LogSink = std::function<void(const QString& line)>;

// How long a freshly registered stub is given before its grants are reset.
inline constexpr std::chrono::milliseconds stubSettle{2000};

// "tccutil reset <service> <bundleID>" answered 0.
bool tccReset(const QString& service, const QString& bundleID);
// The register tool with "-u" / "-f -R" and the path answered 0; false
// without a register tool, and then nothing runs.
bool unregister(const QString& bundlePath);
bool registerBundle(const QString& bundlePath);

// A temporary app bundle that carries `bundleID`.
struct StubRecipe {
    QString bundleID{};
    QString slug{};
    QString name = "TCC Reset Stub";
    // The folder to build it in, as `name` + ".app"; none: the person's
    // caches folder + "/" + slug + "/tcc-stub", as the identifier with each
    // "/" made "-", + ".app".
    std::optional<QString> folder{};
    PlistValue::Dictionary extraInfo{};  // entries over the five defaults, replacing same keys
    QString script = "#!/bin/sh\nexit 0\n";
};

// Builds the stub (Info.plist, the script as "Contents/MacOS/stub" with mode
// 0755) and signs it ad hoc; its path, or none on any failure. A signing
// failure deletes the bundle; an earlier failure leaves what was written for
// the next build of the same stub to replace.
std::optional<QString> makeStub(const StubRecipe& recipe, const SystemPaths& paths = SystemPaths::current());
// Unregisters the stub when there is a register tool, then deletes it;
// failures are ignored.
void removeStub(const QString& stubPath, const SystemPaths& paths = SystemPaths::current());

// The former identifiers of `slug` whose grants were reset through a stub.
QSet<QString> stubDone(const QString& slug);
void markStubDone(const QString& bundleID, const QString& slug);

// Renames or removes each copy that still carries the identifier it was
// found with and lies directly inside its owned folder, unregistering it
// first; how many were disabled. A copy that no longer carries its
// identifier, or carries one that would lead a rename out of the folder, is
// left alone.
int applyOwned(const QList<OwnedAction>& actions, const LogSink& log,
               const SystemPaths& paths = SystemPaths::current());

// Carries out `plan`: legacy resets (in place, or through a stub that is
// always removed again), unregistering copies, the owned copies, the
// identity epoch when anything but own resets was planned, and own resets
// while `recheckOwnScreenOff` still says the grant reads off. Returns the
// services reset in place for a former identity or for the app itself
// (never those reset through a stub).
QSet<QString> apply(const Plan& plan, const QString& ownID, const QString& slug,
                    const std::function<bool()>& recheckOwnScreenOff, const LogSink& log);

}  // namespace rk::KTLegacyIdentityRepair
