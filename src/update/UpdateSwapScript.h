#pragma once
// The shell script that replaces the installed app bundle after the app has
// quit, as text. `swapAndRelaunch` (UpdateSwap.h) fills it in and starts it;
// the script reports each step in the updater log as " shim: " lines.
//
// A bundle is "whole" when it is a folder (no link) holding
// Contents/Info.plist and, in Contents/MacOS, the executable regular file
// its CFBundleExecutable names (a name without "/"), as the property-list
// tool reads it.
//
// What it does, in order:
//  1. waits (0.3 s a look, `waitPolls` looks) until the app's process has
//     gone; one still running at the end abandons the swap and removes the
//     staging folder if it can take the lock for that, else keeps it for
//     the swap that holds the lock. Without the property-list tool it
//     stands down here, before it takes anything;
//  2. takes the lock folder "<bundle>.swaplock" beside the bundle, so only
//     one script at a time swaps it, across processes too, and writes into
//     the generation it took an "owner" record: its process id and that
//     process's start time as ps prints it, and on a second line, which
//     older scripts do not read, its process group (the app starts it in a
//     session of its own, so the group holds the script and what it runs).
//     A held lock is stale when no process of the group its newest
//     generation's record names is left, and the process that record names
//     is gone: kill finds no such process, or ps prints another start time
//     for that id (the id was reused); a start time ps cannot print proves
//     nothing while kill finds the process. A record without a group is
//     judged by its process alone; a lock without a record (older scripts,
//     or the moment before the record) is stale when the lock folder has
//     not been modified for 5 minutes (a record without a start time counts
//     as none). Any other held lock makes this script stand down, naming
//     the owner's process id and group in the log, so neither a long copy,
//     nor a copy whose shell alone was killed, nor a sleeping machine lets
//     a second script in. A stale lock is taken over by creating the next
//     free "gen-N" folder inside it: of two scripts that found it stale,
//     only one creates that folder, and only while the lock is the folder
//     it judged, its record unchanged: a script held up between the two
//     steps while the lock was released and taken again stands down rather
//     than enter a live swap's lock. A script that cannot read its own start
//     time cannot prove to others that it is alive, so it releases what it
//     took and stands down;
//  3. under the lock, first mends what a killed script left. The "copying"
//     mark in the lock holds the device and inode of the bundle its swap
//     set aside; a leftover whole "<bundle>.old" is moved back over the
//     bundle only when it is that very folder, or when nothing stands at
//     the bundle's path. A leftover ".old" that is not whole (a link, a
//     file, an empty or partial folder) is deleted, as is a whole stray one
//     beside a whole bundle; beside a bundle that is not whole it is kept
//     and the script stands down;
//  4. skips the swap when the staged bundle is gone or not whole (another
//     script installed this build, or was stopped while deleting its
//     staging), when the installed CFBundleVersion (read only from a
//     regular file) is at or ahead of the staged one (both plain
//     integers), or when a renamed bundle's new name is already taken by
//     something this script did not make;
//  5. writes "copying" into the lock, renames the bundle to "<bundle>.old"
//     (only when nothing stands there), copies the staged bundle into place
//     with ditto; when the copy succeeded and is whole, moves ".old" into
//     the lock folder, so that it is only ever deleted once the new copy is
//     known whole. Otherwise it deletes the copy and moves ".old" back, but
//     only while ".old" is still the folder it set aside (else it leaves
//     the copy alone); when that move fails it keeps the lock, mark and
//     all, for the next script to restore;
//  6. deletes the staging folder unless it stood down (its Info.plist
//     first, so that a deletion cut short leaves no whole bundle), then
//     releases the lock (deleting the folder with what it holds),
//     relaunches (in front, or in the background with
//     KT_BACKGROUND_LAUNCH=1) or restarts a headless launchd job, and logs
//     "done".
// Nothing beside the bundle is deleted but a leftover ".old" and the lock.
// So at every moment the bundle or its ".old" holds a whole copy. A log
// line goes only to a regular file with one link (made when missing); a
// FIFO, a link or anything else at the log's path drops it. A record in the
// lock is read from its first 256 bytes only and only from a regular file
// (a link counts as none), and a leftover "copying.new" is deleted before
// the mark is written, so neither a huge record nor a FIFO or link left
// there holds up or redirects the swap.
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
    // The process lister, which is no Mac tool of its own.
    QString processStatus = "/bin/ps";
};

// `text` in single quotes, each quote inside written '\''.
QString shellQuoted(const QString& text);
// The script for `swap`.
QString swapScriptText(const SwapScript& swap);

}  // namespace rk::KTUpdate
