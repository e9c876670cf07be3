#include "permissions/PermissionWizard.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "permissions/FreshProcessCheck.h"
#include "permissions/PermissionLint.h"
#include "permissions/PermissionProbes.h"
#include "permissions/PermissionState.h"
#include "permissions/StaleGrant.h"
#include "platform/Text.h"
#include "platform/ToolOutput.h"

namespace rk {

namespace {
struct WizardState {
    KTWizardProduct product;
    std::optional<KTWizardBrand> brand;
    QList<KTPermission> permissions;
    bool configured = false;
    // Valid while `windowObject` is: the window is a widget the core cannot see.
    KTPermissionWizard::Window* window = nullptr;
    QPointer<QObject> windowObject;
};

WizardState& state() {
    static WizardState wizard;
    return wizard;
}

QString skippedKey() {
    return "KTPermissionWizard.skipped." + state().product.slug;
}
QString didNotHoldKey() {
    return "KTPermissionWizard.restartDidNotHold." + state().product.slug;
}

QSet<QString> stringSet(const QVariant& value) {
    const QStringList list = value.toStringList();
    return QSet<QString>(list.begin(), list.end());
}

// A JSON string literal for `text`.
QString jsonString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}
}  // namespace

const KTWizardProduct& KTPermissionWizard::product() {
    return state().product;
}
const std::optional<KTWizardBrand>& KTPermissionWizard::brand() {
    return state().brand;
}
const QList<KTPermission>& KTPermissionWizard::configuredPermissions() {
    return state().permissions;
}
bool KTPermissionWizard::isConfigured() {
    return state().configured;
}

void KTPermissionWizard::configure(const KTWizardProduct& product, const KTWizardBrand& brand,
                                   const QList<KTPermission>& permissions, bool writeState) {
    WizardState& wizard = state();
    wizard.product = product;
    wizard.brand = brand;
    wizard.permissions = permissions;
    wizard.configured = true;
    for (const KTLintFinding& finding : KTPermissionLint::lint(product, permissions))
        printLine(stderr, "permission-lint: " + finding.line());
    if (isCLIQuestion())
        return;
    const AppBundle& bundle = AppBundle::current();
    if (onIdentityChange &&
        KTPermissionState::writtenByAnotherIdentity(product.slug, bundle.bundleIdentifier()))
        onIdentityChange(product.slug, bundle.launchDate().value_or(QDateTime::currentDateTimeUtc()));
    if (writeState)
        KTPermissionState::write(permissions, skippedIDs());
}

void KTPermissionWizard::resetForTesting() {
    WizardState& wizard = state();
    if (wizard.windowObject)
        delete wizard.windowObject.data();
    wizard = WizardState{};
    makeWindow = nullptr;
    freshProcessGrants = nullptr;
    staleGrantRestart = nullptr;
    onIdentityChange = nullptr;
    beforePresenting = nullptr;
    onDecision = nullptr;
    renderScreens = nullptr;
}

bool KTPermissionWizard::isCLIQuestion(const AppBundle& bundle) {
    static const QStringList questions{"--permission-lint", permissionCheckFlag, "--permission-windowshot",
                                       "--permission-repair-legacy"};
    const QStringList arguments = bundle.arguments();
    return std::any_of(questions.begin(), questions.end(),
                       [&](const QString& flag) { return arguments.contains(flag, Qt::CaseSensitive); });
}

QSet<QString> KTPermissionWizard::skippedIDs() {
    return stringSet(QSettings().value(skippedKey()));
}

void KTPermissionWizard::markSkipped(const QString& id) {
    QSet<QString> skipped = skippedIDs();
    skipped.insert(id);
    QStringList stored(skipped.begin(), skipped.end());
    std::sort(stored.begin(), stored.end(), Text::less);
    QSettings().setValue(skippedKey(), stored);
    KTPermissionState::write(configuredPermissions(), skipped);
}

void KTPermissionWizard::skipOutstanding(const KTGrantMap& granted) {
    const QList<KTPermission> permissions = configuredPermissions();
    for (const KTPermission& p : permissions) {
        const auto entry = granted.find(p.id);
        const bool isGranted = entry != granted.end() ? entry->second : p.probeGranted();
        if (!isGranted)
            markSkipped(p.id);
    }
}

QSet<QString> KTPermissionWizard::restartDidNotHoldIDs() {
    return stringSet(QSettings().value(didNotHoldKey()));
}

QString KTPermissionWizard::pickerPath(const QString& bundlePath, const QString& home) {
    const QFileInfo bundle(QDir::cleanPath(bundlePath));
    const QString name = bundle.completeBaseName();
    const QString folder = QDir::cleanPath(bundle.path());
    const SystemPaths mac = SystemPaths::rerooted(QString(), QDir::cleanPath(home));
    if (folder == mac.applications())
        return "Applications > " + name;
    if (folder == mac.userApplications())
        return "Applications in your home folder > " + name;
    const QString last = QFileInfo(folder).fileName();
    return (last.isEmpty() ? folder : last) + " > " + name;
}

std::optional<QString> KTPermissionWizard::plusLine(const KTPermission& permission, const QString& bundlePath,
                                                    const SystemPaths& paths) {
    if (!KTPermissionProbes::takesDraggedApp(permission))
        return std::nullopt;
    return "Not in the list? Click + under it and choose " + pickerPath(bundlePath, paths.home()) + ".";
}

KTPermissionWizard::Presentation KTPermissionWizard::presentation(bool activate) {
    return activate ? Presentation::activate : Presentation::frontWithoutFocus;
}

bool KTPermissionWizard::shouldSettleBeforePresenting(const QStringList& outstandingIDs,
                                                      const QSet<QString>& previouslyGranted) {
    return std::any_of(outstandingIDs.begin(), outstandingIDs.end(),
                       [&](const QString& id) { return previouslyGranted.contains(id); });
}

QSet<QString> KTPermissionWizard::skipsSurvivingGrants(const QSet<QString>& skipped,
                                                       const QSet<QString>& granted) {
    return QSet<QString>(skipped).subtract(granted);
}

void KTPermissionWizard::showDragCompanion(const KTPermission& permission, KTDragCompanionMode mode) {
    if (brand() && dragCompanion.show)
        dragCompanion.show(product(), *brand(), permission, mode);
}

void KTPermissionWizard::enableFreshProcessCheck() {
    // Read here, on the main thread; the hook runs on another.
    const QString executable = AppBundle::current().executablePath();
    freshProcessGrants = [executable] { return KTFreshProcessCheck::ask(executable); };
    staleGrantRestart = [](const QStringList& outstanding) {
        log("wizard: a fresh copy holds " + outstanding.join(",") +
            " but this process does not see it; restarting in the background");
        KTRelaunch::Environment environment = KTRelaunch::Environment::host();
        environment.terminate = [] {
            if (QCoreApplication* app = QCoreApplication::instance())
                QTimer::singleShot(200, app, &QCoreApplication::quit);
        };
        return relaunchApp(true, environment);
    };
}

bool KTPermissionWizard::restartOrPresent(const QStringList& outstanding,
                                          const std::optional<KTGrantMap>& fresh, bool presentOtherwise,
                                          const QDateTime& now, const SystemPaths& paths) {
    const QString slug = product().slug;
    const int recent = KTStaleGrantRestarts::recentCount(KTStaleGrantRestarts::read(slug, paths), now);
    if (KTStaleGrantRestarts::freshCopyHolds(outstanding, fresh, recent)) {
        if (!KTStaleGrantRestarts::restartAllowed(outstanding, configuredPermissions(),
                                                  restartDidNotHoldIDs())) {
            log("wizard: a fresh copy holds " + outstanding.join(",") +
                " but an automatic restart is off for it (restartsOnStaleGrant false, or a restart did not "
                "hold on "
                "this Mac); asking instead");
        } else if (staleGrantRestart) {
            // A restart that cannot be counted could repeat without end.
            if (!KTStaleGrantRestarts::record(slug, now, paths)) {
                log("wizard: a fresh copy holds " + outstanding.join(",") +
                    " but the restart cannot be recorded; asking instead");
            } else if (staleGrantRestart(outstanding)) {
                return true;
            }
        }
    }
    if (presentOtherwise)
        present(true);
    return false;
}

bool KTPermissionWizard::relaunchApp(bool background, const KTRelaunch::Environment& environment) {
    if (!KTRelaunch::startSuccessor(environment)) {
        log(QString("wizard: could not start a new copy of the app (%1); this copy keeps running")
                .arg(background ? "background relaunch" : "relaunch"));
        return false;
    }
    if (environment.terminate)
        environment.terminate();
    return true;
}

int KTPermissionWizard::runWindowshotCLI(const QString& outDir) {
    if (!brand() || configuredPermissions().isEmpty()) {
        printLine(stderr, "windowshot: NOT MEASURED (configure() has not run)");
        return windowshotNotConfiguredStatus;
    }
    if (!renderScreens) {
        printLine(stderr, "windowshot: NOT MEASURED (this program cannot draw the wizard's screens)");
        return windowshotNotConfiguredStatus;
    }
    return renderScreens(outDir);
}

int KTPermissionWizard::runPermissionCheckCLI() {
    if (!isConfigured()) {
        printLine(stdout, "permission-check: NOT MEASURED (configure() has not run)");
        return notMeasuredStatus;
    }
    QStringList entries;
    QSet<QString> seen;
    for (const KTPermission& p : configuredPermissions()) {
        if (seen.contains(p.id))
            continue;
        seen.insert(p.id);
        entries << jsonString(p.id) + ":" + (p.probeGranted() ? "true" : "false");
    }
    printLine(stdout, "{" + entries.join(",") + "}");
    return 0;
}

int KTPermissionWizard::runLintCLI(const QStringList& arguments) {
    if (arguments.contains("--selftest")) {
        // Every self-test runs, whatever the one before found. The drag
        // companion's self-test joins these where the wizard's screens exist.
        const bool lintPassed = KTPermissionLint::selftest();
        const bool staleGrantPassed = KTStaleGrantRestarts::selftest();
        const bool companionPassed = !dragCompanion.selftest || dragCompanion.selftest();
        return lintPassed && staleGrantPassed && companionPassed ? 0 : 1;
    }
    if (!isConfigured()) {
        printLine(stdout, "permission-lint: NOT MEASURED (configure() has not run)");
        return notMeasuredStatus;
    }
    const QList<KTLintFinding> findings = KTPermissionLint::lint(product(), configuredPermissions());
    for (const KTLintFinding& finding : findings)
        printLine(stdout, "FAIL: " + finding.line());
    const int meeting = KTPermissionLint::meetingTheBar(configuredPermissions(), findings);
    printLine(stdout, QString("permission-lint: %1 of %2 permissions meet the bar")
                          .arg(meeting)
                          .arg(configuredPermissions().size()));
    return findings.isEmpty() ? 0 : 1;
}

void KTPermissionWizard::present(bool activate) {
    WizardState& wizard = state();
    if (!wizard.brand)
        return;
    if (beforePresenting)
        beforePresenting(wizard.product, wizard.permissions);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        log("wizard: no window system in this process; not presenting");
        return;
    }
    if (!wizard.windowObject) {
        if (!makeWindow) {
            log("wizard: no window for the wizard in this program; not presenting");
            return;
        }
        wizard.window = makeWindow(wizard.product, *wizard.brand, wizard.permissions);
        wizard.windowObject = wizard.window ? wizard.window->object() : nullptr;
        if (!wizard.windowObject) {
            delete wizard.window;
            wizard.window = nullptr;
            return;
        }
    }
    wizard.window->bringForward(presentation(activate));
}

void KTPermissionWizard::close() {
    if (state().windowObject)
        state().window->closeWindow();
    windowClosed();
}

bool KTPermissionWizard::isPresented() {
    return !state().windowObject.isNull();
}

void KTPermissionWizard::windowClosed() {
    if (dragCompanion.hide)
        dragCompanion.hide();
    WizardState& wizard = state();
    if (!wizard.windowObject)
        return;
    QObject* window = wizard.windowObject;
    wizard.window = nullptr;
    wizard.windowObject = nullptr;
    KTPermissionState::write(configuredPermissions(), skippedIDs());
    window->deleteLater();
}

void KTPermissionWizard::log(const QString& line) {
    qInfo().noquote() << "KTPermissionWizard: " + line;
    if (!onDecision)
        return;
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app,
            [line] {
                if (onDecision)
                    onDecision(line);
            },
            Qt::QueuedConnection);
    } else {
        onDecision(line);
    }
}

}  // namespace rk
