#include "cli/SelfTestReaders.h"

#include <QUuid>

#include "cli/SyntheticStore.h"
#include "explain/Redact.h"
#include "finder/BackgroundStore.h"
#include "finder/Presence.h"
#include "permissions/PermissionWizard.h"
#include "platform/SystemPaths.h"
#include "platform/UserAccount.h"

namespace rk {

namespace {

bool livenessIs(const QString& path, Liveness::Kind kind) {
    return Presence::ofPath(path).kind() == kind;
}

void presenceChecks(SelfTestChecks& checks) {
    using K = Liveness::Kind;
    checks.check(livenessIs(QStringLiteral("/Volumes/NO SUCH DRIVE 7781/x.app"), K::driveNotConnected),
                 "decoy: an app on an unplugged drive is NOT gone");
    checks.check(livenessIs(SystemPaths::current().home() + "/.Trash/Old.app", K::gone),
                 "control: an app in the Trash is gone");
    checks.check(livenessIs(QStringLiteral("/bin/bash"), K::live), "control: /bin/bash is live");
    checks.check(
        livenessIs("/nonexistent/lk-selftest-" + QUuid::createUuid().toString(QUuid::WithoutBraces), K::gone),
        "control: a missing path is gone");
    checks.check(Presence::ofBundle(QStringLiteral("com.apple.finder")).kind() == K::apple,
                 "control: Apple's own apps are never targets");
}

bool isFormatError(const Result<QList<BTMRecord>, StoreError>& parsed) {
    return !parsed.ok() && parsed.error().kind == StoreError::Kind::format;
}

void storeChecks(SelfTestChecks& checks) {
    const auto good = BackgroundStore::parse(SyntheticStore::good());
    if (good.ok()) {
        const QList<BTMRecord>& records = good.value();
        const bool ghost = records.size() == 1 && records[0].name == "TEST: Ghost" && records[0].enabled() &&
                           records[0].isApp() && records[0].path == "/Applications/TEST Ghost.app";
        checks.check(ghost, "control: a synthetic store parses to its one record");
    } else {
        checks.check(false, "control: a synthetic store parses (got " + good.error().description() + ")");
    }
    checks.check(isFormatError(BackgroundStore::parse(SyntheticStore::broken())),
                 "decoy: a record missing a required field is an unknown FORMAT, not an empty list");
    checks.check(isFormatError(BackgroundStore::parse(QByteArray("not a plist"))),
                 "decoy: garbage is an unknown format");
}

}  // namespace

bool SelfTestReaders::hidesName(const QString& shortName, const std::optional<QString>& redacted) {
    QString rest = redacted.value_or(QString());
    rest.remove(QStringLiteral("user"), Qt::CaseInsensitive);
    return !rest.contains(shortName, Qt::CaseInsensitive);
}

void SelfTestReaders::run(SelfTestChecks& checks, const std::function<void()>& configureWizard) {
    presenceChecks(checks);
    storeChecks(checks);

    // Names of one or two characters are left in on purpose: they would
    // blank out ordinary syllables of every identifier.
    const QString name = UserAccount::current().shortName();
    checks.check(
        name.size() <= 2 || hidesName(name, Redact::user(std::optional<QString>("com." + name + ".secret"))),
        "control: the account's short name is removed from AI payloads");
    checks.check(TestNames::why(QStringLiteral("/private/tmp/x")).has_value() &&
                     !TestNames::why(QStringLiteral("/Applications/Safari.app")).has_value(),
                 "control: test-build names flagged, a real app is not");
    configureWizard();
    checks.check(KTPermissionWizard::product().legacyBundleIdentifiers.isEmpty(),
                 "control: no legacy bundle ids, so the wizard's tccutil path cannot run");
}

}  // namespace rk
