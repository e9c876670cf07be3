#pragma once
// What the wizard's screens ask of the machine and of the wizard core, in one
// value, so that a test stands in for each piece: whether listening to input
// events is denied, the per-permission "relaunch tried" flag and the list of
// restarts that did not hold (user defaults), relaunching the app,
// rewriting the permission record, and running work that blocks (the
// question to a fresh copy of the app) away from the main thread. `host()` gives the real pieces. Built by
// whoever makes the wizard's root view and copied into it; main thread.

#include <QSet>
#include <QString>
#include <functional>

namespace rk {

struct KTWizardEnvironment {
    // Input-monitoring access for listening to input events answers denied.
    std::function<bool()> listenDenied;
    // "KTPermWizard.relaunchTried." + id in user defaults; absent reads false.
    std::function<bool(const QString& id)> relaunchTried;
    // Stores true, or with false removes the key.
    std::function<void(const QString& id, bool tried)> setRelaunchTried;
    // The ids whose earlier automatic restart did not hold.
    std::function<QSet<QString>()> restartDidNotHold;
    // Starts a new copy of the app and quits this one (in the background:
    // the new copy does not come to the front). When the new copy cannot
    // start, this one keeps running.
    std::function<void(bool background)> relaunch;
    // Rewrites the permission record of the configured permissions with the
    // person's skips.
    std::function<void()> writeRecord;
    // Runs `work` on another thread and returns at once; the work hands its
    // result back to the main thread itself.
    std::function<void(std::function<void()> work)> startInBackground;

    static QString relaunchTriedKey(const QString& id);
    static KTWizardEnvironment host();
};

}  // namespace rk
