#include "permissions/identity/LegacyRepairActions.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "permissions/identity/LegacyRepairDiscovery.h"
#include "permissions/identity/SystemSettingsRefresh.h"
#include "platform/BundleInfo.h"
#include "platform/FileProbe.h"
#include "platform/Text.h"

namespace rk::KTLegacyIdentityRepair {

namespace {

namespace fs = std::filesystem;
using Disposition = KTOwnedBundleFolder::Disposition;

QString stubDoneKey(const QString& slug) {
    return "KTLegacyIdentityRepair.stubReset." + slug;
}

fs::path fsPath(const QString& diskPath) {
    return fs::path(QFile::encodeName(diskPath).toStdString());
}

// Deletes a file, a link (never what it points at) or a whole folder; a
// missing one is no error.
std::error_code removeItem(const QString& diskPath) {
    std::error_code error;
    fs::remove_all(fsPath(diskPath), error);
    return error;
}

bool writeAtomically(const QString& diskPath, const QByteArray& bytes) {
    return writeWholeFile(diskPath, bytes).ok();
}

PlistValue stubInfo(const StubRecipe& recipe) {
    PlistValue::Dictionary info{{"CFBundleIdentifier", recipe.bundleID},
                                {"CFBundleExecutable", "stub"},
                                {"CFBundlePackageType", "APPL"},
                                {"CFBundleVersion", "1"},
                                {"CFBundleName", recipe.name}};
    for (const PlistEntry& extra : recipe.extraInfo) {
        const auto same = std::find_if(info.begin(), info.end(),
                                       [&](const PlistEntry& entry) { return entry.key == extra.key; });
        if (same != info.end())
            same->value = extra.value;
        else
            info.push_back(extra);
    }
    return PlistValue(std::move(info));
}

// An identifier read from a copy's own Info.plist is untrusted: one holding
// "/" or ".." would point its rename somewhere else.
bool isPlainIdentifier(const QString& id) {
    return !id.contains('/') && !id.contains("..");
}

// The item at `path` sits in `folder` itself, not below it or elsewhere.
bool isDirectlyInside(const QString& path, const QString& folder) {
    const QFileInfo item(QDir::cleanPath(path));
    return !folder.isEmpty() && item.path() == QDir::cleanPath(folder) && item.fileName() != "." &&
           item.fileName() != "..";
}

// Renames `action`'s copy to `target` or removes it; the reason when it could not.
std::optional<QString> disable(const OwnedAction& action, const QString& target, const SystemPaths& paths) {
    std::error_code error = removeItem(paths.disk(target));
    if (!error && action.disposition == Disposition::rename)
        fs::rename(fsPath(paths.disk(action.path)), fsPath(paths.disk(target)), error);
    if (error)
        return QString::fromStdString(error.message());
    return std::nullopt;
}

// Each service reset for `bundleID`, whatever became of the others; true
// when every one was.
bool resetAll(const QStringList& services, const QString& bundleID) {
    bool all = true;
    for (const QString& service : services)
        all = tccReset(service, bundleID) && all;
    return all;
}

QString outcome(bool ok) {
    return ok ? "ok" : "FAILED";
}

// A reset through a stub: built, registered, given time, reset, removed.
void resetViaStub(const LegacyReset& reset, const QString& slug, const LogSink& log) {
    const auto stub = makeStub(StubRecipe{.bundleID = reset.bundleID, .slug = slug});
    if (!stub) {
        log("legacy repair: could not build a stub for " + reset.bundleID + "; its grants were not reset");
        return;
    }
    if (!registerBundle(*stub)) {
        log("legacy repair: stub for " + reset.bundleID + " did not register; its grants were not reset");
        removeStub(*stub);
        return;
    }
    QThread::msleep(static_cast<unsigned long>(stubSettle.count()));
    const bool ok = resetAll(reset.services, reset.bundleID);
    removeStub(*stub);
    if (ok)
        markStubDone(reset.bundleID, slug);
    log("legacy repair: reset " + reset.services.join(",") + " for " + reset.bundleID +
        " via a stub: " + outcome(ok));
}

}  // namespace

bool tccReset(const QString& service, const QString& bundleID) {
    return run(SystemPaths::current().tool(MacTool::tccutil), {"reset", service, bundleID}).ok();
}

bool unregister(const QString& bundlePath) {
    const auto tool = lsregisterPath();
    return tool && run(*tool, {"-u", bundlePath}).ok();
}

bool registerBundle(const QString& bundlePath) {
    const auto tool = lsregisterPath();
    return tool && run(*tool, {"-f", "-R", bundlePath}).ok();
}

std::optional<QString> makeStub(const StubRecipe& recipe, const SystemPaths& paths) {
    const QString caches = paths.userCaches();
    if (caches.isEmpty())
        return std::nullopt;
    const QString folder = recipe.folder.value_or(caches + "/" + recipe.slug + "/tcc-stub");
    const QString name = recipe.folder ? recipe.name : QString(recipe.bundleID).replace('/', '-');
    const QString bundle = folder + "/" + name + ".app";
    const QString disk = paths.disk(bundle);
    removeItem(disk);
    const QString executable = disk + "/Contents/MacOS/stub";
    if (!QDir().mkpath(disk + "/Contents/MacOS") ||
        !writeAtomically(disk + "/Contents/Info.plist", Plist::toXml(stubInfo(recipe))) ||
        !writeAtomically(executable, recipe.script.toUtf8()) ||
        !QFile::setPermissions(executable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                               QFile::ExeOther))
        return std::nullopt;
    if (!run(paths.tool(MacTool::codesign), {"--force", "-s", "-", bundle}).ok()) {
        removeItem(disk);
        return std::nullopt;
    }
    return bundle;
}

void removeStub(const QString& stubPath, const SystemPaths& paths) {
    unregister(stubPath);
    removeItem(paths.disk(stubPath));
}

QSet<QString> stubDone(const QString& slug) {
    const QStringList done = QSettings().value(stubDoneKey(slug)).toStringList();
    return QSet<QString>(done.begin(), done.end());
}

void markStubDone(const QString& bundleID, const QString& slug) {
    QSet<QString> done = stubDone(slug);
    done.insert(bundleID);
    QStringList stored(done.begin(), done.end());
    std::sort(stored.begin(), stored.end(), Text::less);
    QSettings().setValue(stubDoneKey(slug), stored);
}

int applyOwned(const QList<OwnedAction>& actions, const LogSink& log, const SystemPaths& paths) {
    int disabled = 0;
    for (const OwnedAction& action : actions) {
        const auto id = BundleInfo::read(paths.disk(action.path)).identifier();
        if (id != action.bundleID || !isPlainIdentifier(action.bundleID)) {
            log("legacy repair: " + action.path + " no longer carries " + action.bundleID + "; left alone");
            continue;
        }
        const bool rename = action.disposition == Disposition::rename;
        const QString target = rename ? action.renamedPath() : action.path;
        const QString couldNot = "legacy repair: could not " +
                                 KTOwnedBundleFolder::rawValue(action.disposition) + " " + action.path + ": ";
        if (!isDirectlyInside(action.path, action.folder) || !isDirectlyInside(target, action.folder)) {
            log(couldNot + "it does not lie directly inside the folder this app owns");
            continue;
        }
        unregister(action.path);
        if (const auto failure = disable(action, target, paths)) {
            log(couldNot + *failure);
            continue;
        }
        ++disabled;
        log("legacy repair: " + (rename ? "renamed to " + action.renamedPath() : QString("removed")) + " " +
            action.path + " [" + action.bundleID +
            "], a copy in a folder this app owns, so Spotlight cannot register it again");
    }
    return disabled;
}

QSet<QString> apply(const Plan& plan, const QString& ownID, const QString& slug,
                    const std::function<bool()>& recheckOwnScreenOff, const LogSink& log) {
    QSet<QString> cleared;
    for (const LegacyReset& reset : plan.legacyResets) {
        if (reset.viaStub) {
            resetViaStub(reset, slug, log);
            continue;
        }
        const bool ok = resetAll(reset.services, reset.bundleID);
        if (ok)
            cleared.unite(QSet<QString>(reset.services.begin(), reset.services.end()));
        log("legacy repair: reset " + reset.services.join(",") + " for " + reset.bundleID + ": " +
            outcome(ok));
    }
    QSet<QString> ownedPaths;
    for (const OwnedAction& action : plan.ownedActions)
        ownedPaths.insert(action.path);
    for (const Copy& copy : plan.copies) {
        log("legacy repair: unregistered " + copy.description() + " " + outcome(unregister(copy.path)) +
            (ownedPaths.contains(copy.path)
                 ? QString()
                 : QString("; the file is still there, remove it so Spotlight cannot register it again")));
    }
    applyOwned(plan.ownedActions, log);
    if (!plan.legacyResets.isEmpty() || !plan.copies.isEmpty() || !plan.ownedActions.isEmpty())
        KTSystemSettingsRefresh::recordIdentityChange(slug, QDateTime::currentDateTimeUtc());
    for (const QString& service : plan.ownResets) {
        if (!recheckOwnScreenOff()) {
            log("legacy repair: own " + service + " now reads on; not reset");
            continue;
        }
        const bool ok = tccReset(service, ownID);
        if (ok)
            cleared.insert(service);
        log("legacy repair: reset own " + service + " (" + ownID + ") so its prompt re-arms: " + outcome(ok));
    }
    return cleared;
}

}  // namespace rk::KTLegacyIdentityRepair
