#include "support/WizardFixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace rk::test {

WizardSandbox::WizardSandbox() : defaults_(std::make_unique<QTemporaryDir>()) {
    QCoreApplication::setOrganizationName("rk-tests");
    QCoreApplication::setApplicationName("wizard");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, defaults_->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, defaults_->path());
    QSettings().clear();
    AppBundle::setCurrent(&bundle);
    KTProbePlatform::setCurrent(&probes);
    KTPermissionWizard::resetForTesting();
}

WizardSandbox::~WizardSandbox() {
    KTPermissionWizard::resetForTesting();
    QSettings().clear();
    KTProbePlatform::setCurrent(nullptr);
    AppBundle::setCurrent(nullptr);
}

QString WizardSandbox::dotFile(const QString& slug, const QString& name) const {
    return root.disk(root.home() + "/." + slug + "/" + name);
}

QByteArray WizardSandbox::readDotFile(const QString& slug, const QString& name) const {
    QFile file(dotFile(slug, name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

KTPermission samplePermission(const QString& id, bool granted) {
    return KTPermission{
        .id = id,
        .title = "Sample " + id,
        .benefit = "So you can try it.",
        .bullets = {"Try it out"},
        .boundary = "It only tries.",
        .settingsURL = KTPermissionProbes::Pane::camera(),
        .probe = [granted] { return granted; },
    };
}

}  // namespace rk::test
