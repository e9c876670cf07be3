#pragma once
// What the main window asks of the application beyond the model: the
// application delegate's menu actions that some pages also offer, and the
// version line the footer shows. The delegate implements this and installs
// itself with `setCurrent`; until then the host default answers, so the
// window and its tests run without a delegate.

#include <QString>
#include <QUrl>

namespace rk {

class AppActions {
public:
    virtual ~AppActions() = default;

    // The delegate's "Permissions…": opens the permission wizard or brings
    // it forward, activating the app.
    virtual void showPermissions() = 0;
    // The delegate's "Save Diagnostics…": writes the diagnostics file to the
    // Desktop and reveals it. A line for the person when the file was saved
    // but its folder could not be shown (where it was saved) or when it could
    // not be saved (why); else empty. The model's notice says the same.
    virtual QString saveDiagnostics() = 0;
    // Asks the shared workspace to open a System Settings page link; the
    // window stays where it is. False when nothing here took the link.
    virtual bool openSettingsLink(const QUrl& link) = 0;
    // "Version " + version + " (" + build + ")".
    virtual QString versionLine() const = 0;

    // The process-wide implementation; nullptr restores the host default.
    static AppActions& current();
    static void setCurrent(AppActions* actions);
};

// Without a delegate: the wizard is presented directly, links go to the
// workspace seam, diagnostics are not saved (only the delegate knows where
// and how), and the version line is the app's own.
class HostAppActions final : public AppActions {
public:
    void showPermissions() override;
    QString saveDiagnostics() override;
    bool openSettingsLink(const QUrl& link) override;
    QString versionLine() const override;
};

}  // namespace rk
