#pragma once
// Download and verification of the archive a feed entry names. The check
// calls `downloadAndVerify` on the update queue when it has found a newer
// build; the result is the path of the staged app bundle, which the check
// then installs or holds. The installed app is never touched here.
//
// In order, each failure ending the attempt with its message:
//  1. a fresh staging folder (UpdateStaging.h);
//  2. the archive fetched ("download failed"), hashed and written to a
//     file of the staging folder as it arrives, and refused as soon as it
//     is larger than the length the feed states or than 1 GiB ("download
//     failed: larger than the <n> bytes the feed states", "download failed:
//     larger than 1 GiB");
//  3. its SHA-256 digest compared with the feed's; only a match keeps the
//     file, as "update.zip" ("sha256 mismatch (got <12>…, manifest <12>…)");
//  4. unpacked with ditto ("unzip failed");
//  5. the first folder of the staging folder whose name ends in ".app" (a
//     link is not a folder here: it would point the checks at a bundle
//     outside the staging folder) ("no .app in the archive");
//  6. codesign's strict deep verification ("code signature invalid");
//  7. codesign's details holding the line "TeamIdentifier=<teamID>"
//     ("wrong signer (TeamIdentifier != <teamID>)");
//  8. Gatekeeper's assessment ("Gatekeeper rejected the update (unnotarized
//     or non-Developer-ID build)");
//  9. the staged bundle's identifier equal to the running app's ("different
//     app in the feed (<id> is not <own id>); keeping this one");
// then the quarantine attribute is removed, whose result does not count.
//
// A tool that cannot be started answers "not ok", so on a machine without
// codesign or spctl every update is refused by that step's message; no
// check is ever skipped. A failed attempt leaves the staging folder as far as
// it got; the next attempt for the same entry starts by removing it.

#include <QString>
#include <QStringList>
#include <chrono>

#include "platform/Machine.h"
#include "platform/Result.h"
#include "update/UpdateFeed.h"

namespace rk::KTUpdate {

// How long one tool may run before it is stopped and counts as failed.
inline constexpr std::chrono::milliseconds kToolLimit = std::chrono::minutes(5);

// The staged bundle's path, or why the update was refused.
Result<QString, QString> downloadAndVerify(const Appcast& entry, std::chrono::milliseconds wait = kFetchWait);

// Runs a tool directly (no shell), both output channels on one pipe, and
// waits for it up to `kToolLimit`.
ToolResult run(const QString& program, const QStringList& arguments);

}  // namespace rk::KTUpdate
