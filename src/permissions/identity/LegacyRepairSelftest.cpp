#include "permissions/identity/LegacyRepairSelftest.h"

#include <QDir>
#include <QStringList>
#include <QThread>
#include <QUuid>
#include <algorithm>

#include "permissions/identity/IdentitySelftest.h"
#include "permissions/identity/LegacyRepairActions.h"
#include "permissions/identity/LegacyRepairDiscovery.h"
#include "permissions/identity/LegacyRepairPlan.h"
#include "platform/ToolOutput.h"

namespace rk::KTLegacyIdentityRepair {

namespace {

const QString kOld = "com.example.old";
const QString kOwnID = "com.ktwizard.selftest.own";
const QString kNowhere = "/nonexistent";

// One dump field: the key padded with blanks to column 28, then the value.
QString field(const QString& key, const QString& value) {
    return key.leftJustified(28) + value + "\n";
}

QString sampleDump() {
    const QString separator = QString(80, '-') + "\n";
    return separator + field("bundle id:", "Old (0x41f4)") + field("path:", "/tmp/x/Old App.app (0x1a2b)") +
           field("name:", "Old App") + field("identifier:", kOld) + separator +
           field("bundle id:", "Ext (0x41f5)") +
           field("path:", "/tmp/x/Old App.app/Contents/PlugIns/E.appex") +
           field("identifier:", "com.example.old.ext");
}

Plan samplePlan(const QList<Copy>& copies, std::optional<bool> ownScreenOff, const QSet<QString>& stubDone) {
    return plan(Findings{.legacyIDs = {kOld},
                         .copies = copies,
                         .services = {"ScreenCapture"},
                         .ownScreenOff = ownScreenOff,
                         .stubDone = stubDone});
}

bool holdsCopy(const QList<Copy>& copies, const QString& path, bool declared) {
    return std::any_of(copies.begin(), copies.end(), [&](const Copy& copy) {
        return copy.path == QDir::cleanPath(path) && copy.declared == declared;
    });
}

// A stub registered under a former identifier, found again by identifier
// through the registry and by name through the dump; "measured" when the
// dump arm ran, else "NOT MEASURED".
QString liveArm(const QString& suffix, QStringList& failures) {
    const auto fail = [&](bool passed, const QString& label) {
        if (!passed)
            failures << label;
    };
    if (!lsregisterPath()) {
        printLine(stdout, "legacy repair selftest: live arm NOT MEASURED (no lsregister on this Mac)");
        return "NOT MEASURED";
    }
    const QString id = "com.ktwizard.selftest.legacy-" + suffix;
    const auto stub = makeStub(
        StubRecipe{.bundleID = id, .slug = "ktwizard-selftest", .name = "KTWizardSelftest " + suffix});
    if (!stub) {
        failures << "live decoy: could not build the stub";
        return "NOT MEASURED";
    }
    QString live = "NOT MEASURED";
    if (!registerBundle(*stub)) {
        failures << "live decoy: the stub did not register";
    } else {
        QThread::msleep(static_cast<unsigned long>(stubSettle.count()));
        const AppIdentity byID{.legacyIDs = {id}, .ownID = kOwnID, .ownPath = kNowhere};
        fail(holdsCopy(discover(byID, std::nullopt), *stub, true),
             "live decoy: a registered legacy id is found by id");
        const std::optional<QString> dump = dumpText();
        if (!dump) {
            printLine(stdout, "legacy repair selftest: dump arm NOT MEASURED (lsregister -dump unreadable)");
        } else {
            const AppIdentity byName{
                .displayNames = {"KTWizardSelftest " + suffix}, .ownID = kOwnID, .ownPath = kNowhere};
            fail(holdsCopy(discover(byName, dump), *stub, false),
                 "live decoy: a copy wearing the app's name under another id is found through the dump");
            live = "measured";
            const AppIdentity unworn{
                .displayNames = {"KTWizardSelftest control " + suffix}, .ownID = kOwnID, .ownPath = kNowhere};
            fail(discover(unworn, dump).isEmpty(),
                 "live control: no legacy id and an unworn name find nothing");
        }
    }
    removeStub(*stub);
    return live;
}

}  // namespace

bool selftest() {
    QStringList failures;
    const auto check = [&](bool passed, const QString& label) {
        if (!passed)
            failures << label;
    };

    check(parseDump(sampleDump()) ==
              QList<DumpRecord>{{.path = "/tmp/x/Old App.app", .id = kOld, .names = {"Old App"}}},
          "parser: one .app record, suffix stripped, appex ignored");

    const Plan inPlace =
        samplePlan({Copy{.path = "/tmp/x/Old App.app", .bundleID = kOld, .declared = true}}, true, {});
    check(inPlace.legacyResets == QList<LegacyReset>{{.bundleID = kOld, .services = {"ScreenCapture"}}} &&
              inPlace.ownResets == QStringList{"ScreenCapture"},
          "plan: registered legacy copy is reset in place, own reset when off");
    const Plan viaStub = samplePlan({}, false, {});
    check(!viaStub.legacyResets.isEmpty() && viaStub.legacyResets.first().viaStub,
          "plan: unregistered legacy id goes via a stub; a working own grant is never reset");
    check(samplePlan({}, std::nullopt, {kOld}).legacyResets.isEmpty(),
          "plan: stub already done and an unknown own read do nothing");

    const QString suffix = QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toLower();
    const QString live = liveArm(suffix, failures);
    const QString notes = identitySelftest(check);
    return reportSelftest(
        "legacy repair",
        "parser; plan: 3 branches + control; live decoy by id; by-name decoy + live control: " + live + "; " +
            notes,
        failures);
}

}  // namespace rk::KTLegacyIdentityRepair
