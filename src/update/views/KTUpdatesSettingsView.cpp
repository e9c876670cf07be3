#include "update/views/KTUpdatesSettingsView.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/Controls.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "update/KTUpdateModel.h"
#include "update/UpdateVersion.h"

namespace rk {

namespace {

// A switch's label, its switch at the trailing edge; the label greys out with the switch.
QLabel* addSwitchRow(QBoxLayout* stack, const QString& title, const TextStyle& style, CapsuleSwitch* toggle,
                     QWidget* parent) {
    auto* row = new QHBoxLayout;
    QLabel* label = makeLabel(title, style, parent);
    row->addWidget(label, 1);
    row->addWidget(toggle, 0, Qt::AlignVCenter);
    stack->addLayout(row);
    return label;
}

void enableRow(CapsuleSwitch* toggle, QLabel* label, bool enabled, bool dark) {
    toggle->setEnabled(enabled);
    setTextColour(label, enabled ? Palette::ink(dark) : Palette::dim(dark));
}

}  // namespace

KTUpdateRows::KTUpdateRows(KTUpdateModel& m, const QString& appName, bool dark, QWidget* parent)
    : QWidget(parent), m_(m), dark_(dark) {
    KTUpdateModel* model = &m;
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(10);

    master_ = new CapsuleSwitch(
        dark, m.fullyAutomatic(), [model](bool on) { model->setFullyAutomatic(on); }, this);
    masterLabel_ =
        addSwitchRow(stack, QStringLiteral("Automatically keep ") + appName + QStringLiteral(" up to date"),
                     {.pixels = 12, .weight = QFont::Medium}, master_, this);

    auto* details = new QVBoxLayout;
    details->setContentsMargins(18, 0, 0, 0);
    details->setSpacing(8);
    const TextStyle callout{.pixels = 12};
    check_ = new CapsuleSwitch(
        dark, m.autoCheck(), [model](bool on) { model->setAutoCheck(on); }, this);
    checkLabel_ =
        addSwitchRow(details, QStringLiteral("Automatically check for updates"), callout, check_, this);
    download_ = new CapsuleSwitch(
        dark, m.autoDownload(), [model](bool on) { model->setAutoDownload(on); }, this);
    downloadLabel_ =
        addSwitchRow(details, QStringLiteral("Automatically download updates"), callout, download_, this);
    install_ = new CapsuleSwitch(
        dark, m.autoInstall(), [model](bool on) { model->setAutoInstall(on); }, this);
    installLabel_ =
        addSwitchRow(details, QStringLiteral("Automatically install updates"), callout, install_, this);
    stack->addLayout(details);

    auto* divider = new QWidget(this);
    auto* dividerBox = new QVBoxLayout(divider);
    dividerBox->setContentsMargins(0, 2, 0, 2);
    dividerBox->addWidget(makeDivider(dark, divider));
    stack->addWidget(divider);

    notice_ = new QWidget(this);
    auto* noticeRow = new QHBoxLayout(notice_);
    noticeRow->setContentsMargins(0, 0, 0, 0);
    noticeRow->setSpacing(10);
    noticeRow->addWidget(new SymbolView(Symbol::arrowDownCircle, 16, Palette::goldText(dark), notice_));
    noticeText_ = makeLabel(QString(), callout, notice_);
    noticeRow->addWidget(noticeText_, 1);
    noticeRow->addWidget(new PrimaryButton(
        QStringLiteral("Install and Relaunch"), [model] { model->installPending(); }, notice_));
    stack->addWidget(notice_);

    auto* checkRow = new QHBoxLayout;
    checkRow->setSpacing(12);
    auto* checkNow = new QuietButton(
        dark, QStringLiteral("Check for Updates Now"), [model] { model->checkNow(); }, this);
    checkNow->setSymbol(Symbol::arrowsCircle);
    checkRow->addWidget(checkNow);
    checkRow->addStretch(1);
    checkRow->addWidget(
        makeLabel(KTUpdate::currentVersionString(),
                  {.pixels = 11, .colour = Palette::dim(dark), .wrap = false, .selectable = true}, this),
        0, Qt::AlignVCenter);
    stack->addLayout(checkRow);

    status_ = makeLabel(QString(), {.pixels = 11, .colour = Palette::dim(dark)}, this);
    stack->addWidget(status_);

    connect(&m, &KTUpdateModel::changed, this, &KTUpdateRows::refresh);
    refresh();
}

void KTUpdateRows::refresh() {
    master_->setOn(m_.fullyAutomatic());
    check_->setOn(m_.autoCheck());
    download_->setOn(m_.autoDownload());
    install_->setOn(m_.autoInstall());
    // An updater that is off takes no setting: every switch greys out.
    const bool live = !m_.updaterOff();
    enableRow(master_, masterLabel_, live, dark_);
    enableRow(check_, checkLabel_, live, dark_);
    enableRow(download_, downloadLabel_, live && m_.autoCheck(), dark_);
    enableRow(install_, installLabel_, live && m_.autoCheck() && m_.autoDownload(), dark_);

    const std::optional<QString> pending = m_.pendingVersion();
    notice_->setVisible(pending.has_value());
    noticeText_->setText(pending ? QStringLiteral("Update to v") + *pending + QStringLiteral(" is ready.")
                                 : QString());

    status_->setText(m_.status().isEmpty() ? m_.lastCheckedLine() : m_.status());
}

KTUpdatesSettingsView::KTUpdatesSettingsView(QString appName)
    : KTUpdatesSettingsView(std::move(appName), KTUpdateModel::shared()) {}

KTUpdatesSettingsView::KTUpdatesSettingsView(QString appName, KTUpdateModel& m)
    : appName_(std::move(appName)), m_(m) {}

QWidget* KTUpdatesSettingsView::body(bool dark, QWidget* parent) const {
    auto* section = new QWidget(parent);
    auto* stack = new QVBoxLayout(section);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->setSpacing(10);
    stack->addWidget(
        makeLabel(QStringLiteral("Software Update"), {.pixels = 13, .weight = QFont::Bold}, section));
    stack->addWidget(rows(dark, section));
    return section;
}

KTUpdateRows* KTUpdatesSettingsView::rows(bool dark, QWidget* parent) const {
    return new KTUpdateRows(m_, appName_, dark, parent);
}

}  // namespace rk
