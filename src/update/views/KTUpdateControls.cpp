#include "update/views/KTUpdateControls.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

#include "ui/Controls.h"
#include "ui/Palette.h"
#include "update/KTUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateVersion.h"

namespace rk {

KTUpdateControls::KTUpdateControls(const QString& appName, bool dark, QWidget* parent)
    : QWidget(parent), appName_(appName), dark_(dark) {
    master_ = new CapsuleSwitch(
        dark, false, [this](bool) { masterToggled(); }, this);
    check_ = new CapsuleSwitch(
        dark, false, [this](bool) { anyToggled(); }, this);
    download_ = new CapsuleSwitch(
        dark, false, [this](bool) { anyToggled(); }, this);
    install_ = new CapsuleSwitch(
        dark, false, [this](bool) { anyToggled(); }, this);
    status_ = makeLabel(QString(), {.pixels = 11, .colour = Palette::dim(dark)}, this);
    build();
    refresh();

    const auto previous = KTUpdate::onStatus.get();
    const QPointer<KTUpdateControls> self(this);
    KTUpdate::onStatus = [previous, self](const QString& message) {
        if (previous)
            previous(message);
        KTUpdate::onMain([self, message] {
            if (self)
                self->status_->setText(message);
        });
    };
}

QBoxLayout* KTUpdateControls::row(const QString& title, CapsuleSwitch* toggle) {
    auto* line = new QHBoxLayout;
    line->addWidget(makeLabel(title, {.pixels = 12, .wrap = false}, this));
    line->addStretch(1);
    line->addWidget(toggle, 0, Qt::AlignVCenter);
    return line;
}

void KTUpdateControls::build() {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    stack->addWidget(
        makeLabel(QStringLiteral("Software Update"), {.pixels = 13, .weight = QFont::Bold}, this));
    stack->addLayout(
        row(QStringLiteral("Automatically keep ") + appName_ + QStringLiteral(" up to date"), master_));
    stack->addLayout(row(QStringLiteral("Automatically check for updates"), check_));
    stack->addLayout(row(QStringLiteral("Automatically download updates"), download_));
    stack->addLayout(row(QStringLiteral("Automatically install updates"), install_));
    addLeading(stack, new QuietButton(
                          dark_, QStringLiteral("Check for Updates Now"), [this] { checkNow(); }, this));
    stack->addWidget(status_);
}

void KTUpdateControls::refresh() {
    check_->setOn(KTUpdate::autoCheck());
    download_->setOn(KTUpdate::autoDownload());
    install_->setOn(KTUpdate::autoInstall());
    master_->setOn(KTUpdate::fullyAutomatic());
    download_->setEnabled(KTUpdate::autoCheck());
    install_->setEnabled(KTUpdate::autoCheck() && KTUpdate::autoDownload());
    status_->setText(KTUpdate::currentVersionString());
}

void KTUpdateControls::masterToggled() {
    KTUpdate::setFullyAutomatic(master_->isOn());
    refresh();
}

void KTUpdateControls::anyToggled() {
    KTUpdate::setAutoCheck(check_->isOn());
    KTUpdate::setAutoDownload(download_->isOn());
    KTUpdate::setAutoInstall(install_->isOn());
    refresh();
}

void KTUpdateControls::checkNow() {
    KTUpdate::checkNow(true);
}

}  // namespace rk
