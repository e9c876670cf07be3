#pragma once
// A sandbox for the permission wizard's tests: a temporary machine, user
// defaults in a temporary folder, a stand-in for the app's own bundle and for
// the probe platform, and a wizard that starts unconfigured.

#include <QSettings>
#include <memory>

#include "permissions/PermissionProbes.h"
#include "permissions/PermissionWizard.h"
#include "support/PlatformFakes.h"
#include "support/QtApp.h"
#include "support/TempRoot.h"

namespace rk::test {

class FakeProbePlatform : public KTProbePlatform {
public:
    bool trusted = false, otherTitles = false, preflight = false;
    KTListenAccess listen = KTListenAccess::unknown;
    int accessibilityPrompts = 0, captureRequests = 0;

    bool accessibilityTrusted() override { return trusted; }
    void requestAccessibilityPrompt() override { ++accessibilityPrompts; }
    bool seesOtherWindowTitles() override { return otherTitles; }
    bool screenCapturePreflight() override { return preflight; }
    void requestScreenCaptureAccess() override { ++captureRequests; }
    KTListenAccess listenEventAccess() override { return listen; }
};

// While it lives: SystemPaths re-rooted under a temporary folder with the
// home folder "/Users/anna", user defaults in that folder too, `bundle` as
// the app's bundle, `probes` as the probe platform, and the wizard reset.
class WizardSandbox {
public:
    WizardSandbox();
    ~WizardSandbox();
    WizardSandbox(const WizardSandbox&) = delete;
    WizardSandbox& operator=(const WizardSandbox&) = delete;

    TempRoot root;
    FakeAppBundle bundle;
    FakeProbePlatform probes;

    // Disk path of "/Users/anna/.<slug>/<name>".
    QString dotFile(const QString& slug, const QString& name) const;
    QByteArray readDotFile(const QString& slug, const QString& name) const;

private:
    std::unique_ptr<QTemporaryDir> defaults_;
};

// A stand-in for the wizard's window, for tests below the screens: it closes
// as the real one does.
class FakeWizardWindow : public QObject, public KTPermissionWizard::Window {
public:
    void bringForward(KTPermissionWizard::Presentation) override {}
    void closeWindow() override { KTPermissionWizard::windowClosed(); }
    QObject* object() override { return this; }
    // Makes the wizard build this stand-in until it is reset.
    static void install() {
        KTPermissionWizard::makeWindow = [](const KTWizardProduct&, const KTWizardBrand&,
                                            const QList<KTPermission>&) { return new FakeWizardWindow; };
    }
};

// A permission whose probe answers `granted`, with sound texts.
KTPermission samplePermission(const QString& id, bool granted = false);

}  // namespace rk::test
