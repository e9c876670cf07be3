#include "permissions/identity/IdentitySelftest.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUuid>
#include <csignal>
#include <optional>

#include "permissions/PermissionProbes.h"
#include "permissions/PermissionState.h"
#include "permissions/PermissionWizard.h"
#include "permissions/identity/LegacyRepairActions.h"
#include "permissions/identity/LegacyRepairDiscovery.h"
#include "permissions/identity/SystemSettingsRefresh.h"
#include "platform/Workspace.h"

namespace rk::KTLegacyIdentityRepair {

namespace {

using namespace std::chrono_literals;
using Disposition = KTOwnedBundleFolder::Disposition;
namespace Refresh = KTSystemSettingsRefresh;

const QString kSelftestSlug = "ktwizard-selftest";
const QString kNowhere = "/nonexistent";
const QDateTime kReference = QDateTime::fromSecsSinceEpoch(2'000'000'000, Qt::UTC);

// A permission record holding a granted "screen" and a withheld
// "accessibility", written by `writer` when one is given.
QByteArray record(const std::optional<QString>& writer) {
    QJsonObject object{
        {"permissions", QJsonArray{QJsonObject{{"id", "screen"}, {"capability_probe", true}},
                                   QJsonObject{{"id", "accessibility"}, {"capability_probe", false}}}}};
    if (writer)
        object.insert("bundle_id", *writer);
    return QJsonDocument(object).toJson();
}

bool answersSignalZero(std::int32_t pid) {
    return pid > 0 && ::kill(pid, 0) == 0;
}

void checkRules(const SelftestCheck& check) {
    const QSet<QString> byOld =
        KTPermissionState::grantedIDs(record(QString("com.example.old")), "com.example.new");
    const QSet<QString> byNew =
        KTPermissionState::grantedIDs(record(QString("com.example.new")), "com.example.new");
    check(byOld.isEmpty(), "record decoy: a record written by the old id holds nothing for the new one");
    check(byNew == QSet<QString>{"screen"},
          "record control: this id's own record still reads its held grants");
    check(KTPermissionState::grantedIDs(record(std::nullopt), "com.example.new") == QSet<QString>{"screen"},
          "record control: a record with no writer field is trusted as before");
    check(!KTPermissionWizard::shouldSettleBeforePresenting({"screen"}, byOld),
          "launch decoy: the first launch under a new id asks now, no settle");
    check(KTPermissionWizard::shouldSettleBeforePresenting({"screen"}, byNew),
          "launch control: a grant this id held last run still settles");
    check(KTPermissionWizard::presentation(false) == KTPermissionWizard::Presentation::frontWithoutFocus,
          "present decoy: a background launch orders the window front without activating");
    check(KTPermissionWizard::presentation(true) == KTPermissionWizard::Presentation::activate,
          "present control: a click still activates");
    check(KTPermissionWizard::skipsSurvivingGrants({"screen"}, {"screen"}).isEmpty(),
          "skip decoy: a permission granted after it was skipped loses the skip, so a later loss asks again");
    check(KTPermissionWizard::skipsSurvivingGrants({"screen", "mic"}, {"screen"}) == QSet<QString>{"mic"},
          "skip control: a skip with no grant behind it is kept, so the wizard never nags");

    const QDateTime before = kReference.addSecs(-60);
    check(Refresh::shouldQuit(true, kReference, true, before),
          "settings decoy: a System Settings opened before the identity change is quit");
    check(Refresh::shouldQuit(true, kReference, true, std::nullopt),
          "settings decoy: an unknown launch date counts as before");
    check(!Refresh::shouldQuit(true, kReference, true, kReference.addSecs(60)),
          "settings control: one opened after the change is left alone");
    check(!Refresh::shouldQuit(false, kReference, true, before),
          "settings control: an app with no legacy id never quits it");
    check(!Refresh::shouldQuit(true, std::nullopt, true, before),
          "settings control: no identity change recorded, nothing quit");
    check(!Refresh::shouldQuit(true, kReference, false, std::nullopt),
          "settings control: not running, nothing to quit");
}

// A decoy app that sleeps, launched and quit for real; its note.
QString checkLiveQuit(const QString& suffix, const SelftestCheck& check) {
    const QString id = "com.ktwizard.selftest.quit-" + suffix;
    const auto stub = makeStub(StubRecipe{.bundleID = id,
                                          .slug = kSelftestSlug,
                                          .name = "KTWizardSelftest quit " + suffix,
                                          .extraInfo = {{"LSBackgroundOnly", true}},
                                          .script = "#!/bin/sh\nexec /bin/sleep 30\n"});
    if (!stub)
        return "settings quit live: NOT MEASURED (could not build the decoy)";
    Workspace& workspace = Workspace::current();
    workspace.launchApplication(*stub);
    QList<RunningApplication> running;
    for (int poll = 0; poll < 50 && running.isEmpty(); ++poll) {
        running = workspace.runningApplications(id);
        if (running.isEmpty())
            QThread::msleep(100);
    }
    if (running.isEmpty()) {
        removeStub(*stub);
        return "settings quit live: NOT MEASURED (the decoy did not launch)";
    }
    const std::int32_t pid = running.first().pid;
    const QDateTime launched = running.first().launchDate.value_or(QDateTime::currentDateTimeUtc());
    check(Refresh::quit(id, launched.addSecs(-60), 500ms) == Refresh::QuitResult::notRunning &&
              answersSignalZero(pid),
          "live control: a decoy started after the cutoff is left running");
    const Refresh::QuitResult result = Refresh::quit(id, QDateTime::currentDateTimeUtc().addSecs(1), 1500ms);
    const QString raw = Refresh::rawValue(result);
    check((result == Refresh::QuitResult::quit || result == Refresh::QuitResult::forced) &&
              !answersSignalZero(pid),
          "live decoy: the quitter finds the running decoy by id and it exits (" + raw + ")");
    if (answersSignalZero(pid))
        ::kill(pid, SIGKILL);
    removeStub(*stub);
    return "settings quit live: " + raw;
}

struct OwnedStubs {
    QString lastGood{};
    QString oldID{};
    QString newID{};
    std::optional<QString> legacyInside{};   // A: a former identity in the owned folder
    std::optional<QString> own{};            // B: this app's own copy there
    std::optional<QString> legacyOutside{};  // C: a former identity elsewhere, linked from inside

    std::optional<QString> buildLegacyInside() const {
        return makeStub(
            StubRecipe{.bundleID = oldID, .slug = "x", .name = "Selftest App", .folder = lastGood});
    }
};

// One disposition's pass over the owned folder (rows decoy, gone, kept
// name, own copy, linked copy).
void checkOwnedPass(OwnedStubs& stubs, Disposition disposition, const SelftestCheck& check) {
    const SystemPaths& paths = SystemPaths::current();
    const QString word = KTOwnedBundleFolder::rawValue(disposition);
    if (!QFileInfo::exists(paths.disk(*stubs.legacyInside)))
        stubs.legacyInside = stubs.buildLegacyInside();
    const QString inside = stubs.legacyInside.value_or(kNowhere);
    const AppIdentity app{.legacyIDs = {stubs.oldID},
                          .displayNames = {"Selftest App"},
                          .ownID = stubs.newID,
                          .ownPath = kNowhere};
    const QList<OwnedAction> actions =
        discoverOwned({KTOwnedBundleFolder{.path = stubs.lastGood, .disposition = disposition}}, app);
    QStringList found;
    for (const OwnedAction& action : actions)
        found << action.path;
    check(found == QStringList{paths.resolved(inside)},
          "owned decoy (" + word + "): the legacy copy in the owned folder is found, and only it");
    applyOwned(actions, [](const QString&) {});
    check(!QFileInfo::exists(paths.disk(inside)),
          "owned decoy (" + word + "): the legacy copy is gone from its .app path");
    if (disposition == Disposition::rename) {
        const QString kept = actions.isEmpty()
                                 ? kNowhere
                                 : actions.first().path + "." + actions.first().bundleID + ".disabled";
        check(QFileInfo::exists(paths.disk(kept)),
              "owned decoy (rename): it is kept under a name LaunchServices does not read as a bundle");
    }
    check(QFileInfo::exists(paths.disk(*stubs.own)),
          "owned control: this app's own copy in the folder is untouched");
    check(QFileInfo::exists(paths.disk(*stubs.legacyOutside)),
          "owned control: a legacy copy outside the folder, linked from inside it, is untouched");
}

// Stub bundles in an owned folder and beside it, disabled for real; its
// note, none when there is no caches folder to build them in.
std::optional<QString> checkLiveOwned(const QString& suffix, const SelftestCheck& check) {
    const SystemPaths& paths = SystemPaths::current();
    const QString base = paths.userCaches();
    if (base.isEmpty())
        return std::nullopt;
    const QString root = base + "/" + kSelftestSlug + "/owned-" + suffix;
    OwnedStubs stubs{.lastGood = root + "/last-good",
                     .oldID = "com.ktwizard.selftest.old-" + suffix,
                     .newID = "com.ktwizard.selftest.new-" + suffix};
    const QString elsewhere = root + "/elsewhere";
    QDir().mkpath(paths.disk(stubs.lastGood));
    QDir().mkpath(paths.disk(elsewhere));
    stubs.legacyInside = stubs.buildLegacyInside();
    stubs.own = makeStub(StubRecipe{.bundleID = stubs.newID,
                                    .slug = "x",
                                    .name = "Selftest App Own",
                                    .folder = stubs.lastGood,
                                    .extraInfo = {{"CFBundleName", "Selftest App"}}});
    stubs.legacyOutside = makeStub(
        StubRecipe{.bundleID = stubs.oldID, .slug = "x", .name = "Selftest App", .folder = elsewhere});
    QString note = "owned folders live: NOT MEASURED (could not build the stubs)";
    if (stubs.legacyOutside)
        QFile::link(paths.disk(*stubs.legacyOutside), paths.disk(stubs.lastGood + "/Escape.app"));
    if (stubs.legacyInside && stubs.own && stubs.legacyOutside) {
        for (const Disposition disposition : {Disposition::remove, Disposition::rename})
            checkOwnedPass(stubs, disposition, check);
        const AppIdentity app{.legacyIDs = {stubs.oldID},
                              .displayNames = {"Selftest App"},
                              .ownID = stubs.newID,
                              .ownPath = kNowhere};
        check(discoverOwned({KTOwnedBundleFolder{.path = stubs.lastGood + "/missing",
                                                 .disposition = Disposition::remove}},
                            app)
                  .isEmpty(),
              "owned control: a folder that does not exist yields nothing");
        note = "owned folders live: measured";
    }
    QDir(paths.disk(root)).removeRecursively();
    return note;
}

void checkPlusLines(const SelftestCheck& check) {
    const auto on = [](const QUrl& pane) { return KTPermission{.settingsURL = pane}; };
    check(KTPermissionWizard::plusLine(on(KTPermissionProbes::Pane::screenRecording()),
                                       "/Applications/Tarnwell.app") ==
              QString("Not in the list? Click + under it and choose Applications > Tarnwell."),
          "plus decoy: Screen Recording names the + path and the folder up front");
    check(!KTPermissionWizard::plusLine(on(KTPermissionProbes::Pane::microphone()),
                                        "/Applications/Tarnwell.app"),
          "plus control: Microphone, which has no +, gets no + line");
    check(KTPermissionWizard::pickerPath("/Users/x/Applications/A.app", "/Users/x") ==
              "Applications in your home folder > A",
          "plus control: a home-folder install names that folder");
}

}  // namespace

QString identitySelftest(const SelftestCheck& check) {
    const QString suffix = QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toLower();
    QStringList notes;
    checkRules(check);
    notes << checkLiveQuit(suffix, check);
    check(Refresh::quit("com.ktwizard.selftest.never-running-" + suffix, std::nullopt, 200ms) ==
              Refresh::QuitResult::notRunning,
          "live control: an id that is not running is reported as such and nothing is touched");
    if (const auto owned = checkLiveOwned(suffix, check))
        notes << *owned;
    checkPlusLines(check);
    return notes.join("; ");
}

}  // namespace rk::KTLegacyIdentityRepair
