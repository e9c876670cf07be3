#include "update/KTUpdateModel.h"

#include <QPointer>
#include <QRegularExpression>
#include <utility>

#include "update/KTUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateInstall.h"

namespace rk {

namespace {

// Qt's locales have a short and a long date style, not the medium one
// ("Mar 1, 2025"): that is the long style without the weekday and with the
// month's name abbreviated.
QString mediumDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,\\s]*|[,\\s]*d{4}"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

// Never destroyed but by `endShared`: the hooks it holds may be called until
// the process ends, and find it gone safely when it has been ended.
KTUpdateModel* sharedModel = nullptr;

}  // namespace

KTUpdateModel& KTUpdateModel::shared() {
    if (sharedModel == nullptr)
        sharedModel = new KTUpdateModel;
    return *sharedModel;
}

void KTUpdateModel::endShared() {
    delete std::exchange(sharedModel, nullptr);
}

KTUpdateModel::KTUpdateModel(QObject* parent)
    : QObject(parent),
      autoCheck_(KTUpdate::autoCheck()),
      autoDownload_(KTUpdate::autoDownload()),
      autoInstall_(KTUpdate::autoInstall()),
      pendingVersion_(KTUpdate::pendingUpdateVersion()) {
    const QPointer<KTUpdateModel> self(this);
    KTUpdate::onStatus = [self](const QString& message) {
        KTUpdate::onMain([self, message] {
            if (self)
                self->setStatus(message);
        });
    };
    KTUpdate::onPendingUpdate = [self](const QString& version) {
        KTUpdate::onMain([self, version] {
            if (self)
                self->setPendingVersion(version);
        });
    };
}

void KTUpdateModel::setAutoCheck(bool on) {
    autoCheck_ = on;
    emit autoCheckChanged(on);
    emit changed();
    KTUpdate::setAutoCheck(on);
}

void KTUpdateModel::setAutoDownload(bool on) {
    autoDownload_ = on;
    emit autoDownloadChanged(on);
    emit changed();
    KTUpdate::setAutoDownload(on);
}

void KTUpdateModel::setAutoInstall(bool on) {
    autoInstall_ = on;
    emit autoInstallChanged(on);
    emit changed();
    KTUpdate::setAutoInstall(on);
}

bool KTUpdateModel::fullyAutomatic() const {
    return autoCheck_ && autoDownload_ && autoInstall_;
}

void KTUpdateModel::setFullyAutomatic(bool on) {
    setAutoCheck(on);
    setAutoDownload(on);
    setAutoInstall(on);
}

void KTUpdateModel::setStatus(const QString& status) {
    status_ = status;
    emit statusChanged(status);
    emit changed();
}

void KTUpdateModel::setPendingVersion(const std::optional<QString>& version) {
    pendingVersion_ = version;
    emit pendingVersionChanged(version);
    emit changed();
}

void KTUpdateModel::checkNow() {
    KTUpdate::checkNow(true);
}

void KTUpdateModel::installPending() {
    KTUpdate::installPendingNow();
}

bool KTUpdateModel::updaterOff() const {
    return KTUpdate::offReason().has_value();
}

QString KTUpdateModel::lastCheckedLine() const {
    if (const auto off = KTUpdate::offStatusLine())
        return *off;
    return lastCheckedLine(KTUpdate::lastCheckDate(), QDateTime::currentDateTime(), QLocale());
}

QString KTUpdateModel::lastCheckedLine(const std::optional<QDateTime>& last, const QDateTime& now,
                                       const QLocale& locale) {
    if (!last)
        return QStringLiteral("not yet checked");
    const QDateTime local = last->toLocalTime();
    const QString time = locale.toString(local.time(), QLocale::ShortFormat);
    if (local.date() == now.toLocalTime().date())
        return QStringLiteral("last checked ") + time;
    return QStringLiteral("last checked ") + locale.toString(local.date(), mediumDateFormat(locale)) +
           QStringLiteral(", ") + time;
}

}  // namespace rk
