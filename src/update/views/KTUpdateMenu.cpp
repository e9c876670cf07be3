#include "update/views/KTUpdateMenu.h"

#include <QUrl>
#include <utility>

#include "platform/AppBundle.h"
#include "platform/Workspace.h"
#include "update/KTUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateVersion.h"

namespace rk {

namespace {

constexpr char kActionName[] = "ktUpdateAction";
const QString kSoftwareUpdate = QStringLiteral("Software Update");

// An item that runs `action` on the shared controller, named for `menuNeedsUpdate`.
QAction* addItem(QMenu& menu, const QString& title, const char* name, void (KTMenuController::*action)()) {
    QAction* item = menu.addAction(title);
    item->setProperty(kActionName, QString::fromLatin1(name));
    KTMenuController* controller = &KTMenuController::shared();
    QObject::connect(item, &QAction::triggered, controller,
                     [controller, action] { (controller->*action)(); });
    return item;
}

QAction* addSwitch(QMenu& menu, const QString& title, const char* name, void (KTMenuController::*action)(),
                   bool on) {
    QAction* item = addItem(menu, title, name, action);
    item->setCheckable(true);
    item->setChecked(on);
    return item;
}

// An address that a person or the host gave, as a link; none when it is no link.
std::optional<QUrl> link(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

// Never destroyed but by `endShared`: the status wrapper it installs may run
// until the end, and finds it gone safely when it has been ended.
KTMenuController* sharedController = nullptr;

}  // namespace

KTMenuController& KTMenuController::shared() {
    if (sharedController == nullptr)
        sharedController = new KTMenuController;
    return *sharedController;
}

void KTMenuController::endShared() {
    delete std::exchange(sharedController, nullptr);
}

KTMenuController::KTMenuController() {
    const auto previous = KTUpdate::onStatus.get();
    const QPointer<KTMenuController> self(this);
    KTUpdate::onStatus = [previous, self](const QString& message) {
        if (previous)
            previous(message);
        KTUpdate::onMain([self, message] {
            if (self && self->statusMenuItem_)
                self->statusMenuItem_->setText(QStringLiteral("Updates: on · ") + message);
        });
    };
}

QString KTMenuController::statusLine() {
    if (const auto version = KTUpdate::pendingUpdateVersion())
        return QStringLiteral("Update v") + *version +
               QStringLiteral(" ready: choose Check for Updates to install");
    if (const auto off = KTUpdate::offStatusLine())
        return *off;
    if (KTUpdate::autoCheck())
        return QStringLiteral("Updates: automatic");
    return QStringLiteral("Updates: manual (auto-check off)");
}

void KTMenuController::checkNow() {
    KTUpdate::checkNow(true);
}

void KTMenuController::updToggleMaster() {
    KTUpdate::setFullyAutomatic(!KTUpdate::fullyAutomatic());
}

void KTMenuController::updToggleCheck() {
    KTUpdate::setAutoCheck(!KTUpdate::autoCheck());
}

void KTMenuController::updToggleDownload() {
    KTUpdate::setAutoDownload(!KTUpdate::autoDownload());
}

void KTMenuController::updToggleInstall() {
    KTUpdate::setAutoInstall(!KTUpdate::autoInstall());
}

void KTMenuController::menuNeedsUpdate(QMenu* menu) {
    if (menu == nullptr || menu->title() != kSoftwareUpdate)
        return;
    for (QAction* item : menu->actions()) {
        const QString name = KTStandard::actionOf(item);
        if (name == QLatin1String("updToggleMaster"))
            item->setChecked(KTUpdate::fullyAutomatic());
        else if (name == QLatin1String("updToggleCheck"))
            item->setChecked(KTUpdate::autoCheck());
        else if (name == QLatin1String("updToggleDownload"))
            item->setChecked(KTUpdate::autoDownload());
        else if (name == QLatin1String("updToggleInstall"))
            item->setChecked(KTUpdate::autoInstall());
    }
}

void KTMenuController::openHelp() {
    // A help book is a Mac bundle's, read by the Mac's help viewer; this
    // desktop has none to show it in.
    if (AppBundle::current().infoString(QStringLiteral("CFBundleHelpBookName")))
        return;
    openStored(websiteURL_);
}

void KTMenuController::openReleaseNotes() {
    openStored(releaseNotesURL_);
}

void KTMenuController::openWebsite() {
    openStored(websiteURL_);
}

void KTMenuController::openStored(const std::optional<QString>& address) {
    if (!address)
        return;
    if (const auto url = link(*address))
        Workspace::current().openURL(*url, true);
}

void KTMenuController::contactSupport() {
    if (!supportEmail_)
        return;
    const QString subject =
        appName_ + QStringLiteral(" support (") + KTUpdate::currentVersionString() + QStringLiteral(")");
    // The characters a query may hold stay as they are; the rest is encoded.
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(subject, "!$&'()*+,/:;=?@"));
    if (const auto url =
            link(QStringLiteral("mailto:") + *supportEmail_ + QStringLiteral("?subject=") + encoded))
        Workspace::current().openURL(*url, true);
}

QString KTStandard::actionOf(const QAction* item) {
    return item != nullptr ? item->property(kActionName).toString() : QString();
}

void KTStandard::appendUpdateItems(QMenu& menu) {
    addItem(menu, QStringLiteral("Check for Updates…"), "checkNow", &KTMenuController::checkNow);
    QAction* status = menu.addAction(KTMenuController::statusLine());
    status->setEnabled(false);
    KTMenuController::shared().statusMenuItem_ = status;
}

QMenu* KTStandard::helpMenu(const QString& appName, const std::optional<QString>& website,
                            const std::optional<QString>& supportEmail,
                            const std::optional<QString>& releaseNotes, QWidget* parent) {
    KTMenuController& controller = KTMenuController::shared();
    auto* menu = new QMenu(QStringLiteral("Help"), parent);
    addItem(*menu, appName + QStringLiteral(" Help"), "openHelp", &KTMenuController::openHelp);
    if (releaseNotes) {
        controller.releaseNotesURL_ = releaseNotes;
        addItem(*menu, QStringLiteral("What's New"), "openReleaseNotes", &KTMenuController::openReleaseNotes);
    }
    menu->addSeparator();
    if (website) {
        controller.websiteURL_ = website;
        addItem(*menu, appName + QStringLiteral(" Website"), "openWebsite", &KTMenuController::openWebsite);
    }
    if (supportEmail) {
        controller.supportEmail_ = supportEmail;
        controller.appName_ = appName;
        addItem(*menu, QStringLiteral("Contact Support…"), "contactSupport",
                &KTMenuController::contactSupport);
    }
    menu->addSeparator();
    appendUpdateItems(*menu);
    return menu;
}

QMenu* KTStandard::updateSubmenu(const QString& appName, QWidget* parent) {
    KTMenuController* controller = &KTMenuController::shared();
    auto* menu = new QMenu(kSoftwareUpdate, parent);
    addSwitch(*menu, QStringLiteral("Automatically keep ") + appName + QStringLiteral(" up to date"),
              "updToggleMaster", &KTMenuController::updToggleMaster, KTUpdate::fullyAutomatic());
    menu->addSeparator();
    addSwitch(*menu, QStringLiteral("Automatically check for updates"), "updToggleCheck",
              &KTMenuController::updToggleCheck, KTUpdate::autoCheck());
    addSwitch(*menu, QStringLiteral("Automatically download updates"), "updToggleDownload",
              &KTMenuController::updToggleDownload, KTUpdate::autoDownload());
    addSwitch(*menu, QStringLiteral("Automatically install updates"), "updToggleInstall",
              &KTMenuController::updToggleInstall, KTUpdate::autoInstall());
    QObject::connect(menu, &QMenu::aboutToShow, controller,
                     [controller, menu] { controller->menuNeedsUpdate(menu); });
    return menu;
}

}  // namespace rk
