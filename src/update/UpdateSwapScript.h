#pragma once
// The shell script that replaces the installed app bundle after the app has
// quit, as text. `swapAndRelaunch` (UpdateSwap.h) fills it in and starts it;
// the script reports each step in the updater log as " shim: " lines.
//
// What it does, in order:
//  1. waits (0.3 s a look, `waitPolls` looks) until the app's process has
//     gone; one still running at the end abandons the swap and removes the
//     staging folder;
//  2. takes the lock folder "<bundle>.swaplock" beside the bundle, so only
//     one script at a time swaps it, across processes too; a live one
//     makes this script stand down. A lock not modified for 5 minutes is
//     stale (its owner died) and is taken over by creating the next free
//     "gen-N" folder inside it: of two scripts that found it stale, only
//     one creates that folder, and one that looks after a takeover finds
//     the lock just modified, so live;
//  3. under the lock, first mends what a killed script left. A leftover
//     "<bundle>.old" is moved back over the bundle only when it is a
//     complete bundle (a real folder with Contents/Info.plist) and either
//     the taken-over lock holds "copying" (its owner died between renaming
//     the bundle and confirming the copy) or the bundle is missing or not
//     complete. Any other leftover ".old" (a link, a file, an empty or
//     partial folder, or a stray copy beside a complete bundle) is deleted
//     and the bundle kept;
//  4. skips the swap when the staging is gone (another script installed
//     this build), when the installed CFBundleVersion is at or ahead of the
//     staged one (both plain integers), or when a renamed bundle's new name
//     is already taken by something this script did not make;
//  5. writes "copying" into the lock, renames the bundle to "<bundle>.old"
//     (only when nothing stands there), copies the staged bundle into place
//     with ditto; on success moves ".old" into the lock folder, so that it
//     is only ever deleted once the new copy is known complete; on failure
//     deletes the partial copy and moves ".old" back;
//  6. releases the lock (deleting the folder with what it holds), removes
//     the staging folder unless it stood down, relaunches (in front, or in
//     the background with KT_BACKGROUND_LAUNCH=1) or restarts a headless
//     launchd job, and logs "done".
// Nothing beside the bundle is deleted but a leftover ".old" and the lock.
// So at every moment the bundle or its ".old" holds a complete copy.
//
// Every value goes into the script single-quoted, a quote inside written
// '\'', also where it stands in a log line: the line's double quotes are
// closed around it, so "$(…)", backquotes and "$NAME" in a bundle's name are
// text, never run. Pure; any thread.

#include <QString>
#include <optional>

namespace rk::KTUpdate {

// What follows a swap.
enum class Relaunch {
    none,          // nothing (the app is quitting for good); a headless job may restart
    inBackground,  // the app opens without coming to the front
    inFront,       // the app opens in front
};

// How many times, 0.3 s apart, a script looks whether the app has quit
// before it gives up: 600 looks, 180 s.
inline constexpr int kSwapWaitPolls = 600;

struct SwapScript {
    QString current;      // the installed bundle
    QString staged;       // the verified bundle in its staging folder
    QString destination;  // where the new bundle goes: `current`, or beside it under a new name
    QString stage;        // the staging folder, the staged bundle's parent
    QString log;          // the updater log
    qint64 pid = 0;       // the process to wait for
    int waitPolls = kSwapWaitPolls;
    Relaunch relaunch = Relaunch::none;
    // A launchd job restarted after a swap made without a relaunch.
    std::optional<QString> headlessRestartLabel;
    // The tools the script runs, from the tool table.
    QString ditto, plistBuddy, defaults, launchServicesRegister, launchctl, open;
};

// `text` in single quotes, each quote inside written '\''.
QString shellQuoted(const QString& text);
// The script for `swap`.
QString swapScriptText(const SwapScript& swap);

}  // namespace rk::KTUpdate
