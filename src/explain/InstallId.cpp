#include "explain/InstallId.h"

#include <QMutex>
#include <QMutexLocker>
#include <QUuid>

namespace rk {

namespace {
// Two first calls on two threads must not make two identifiers.
QMutex& guard() {
    static QMutex mutex;
    return mutex;
}

QString canonical(const QString& text) {
    const QUuid uuid = QUuid::fromString(text);
    return uuid.isNull() ? QString() : uuid.toString(QUuid::WithoutBraces).toUpper();
}
}  // namespace

QString InstallId::value(QSettings& settings) {
    QMutexLocker lock(&guard());
    settings.sync();
    if (const QString stored = canonical(settings.value(key()).toString()); !stored.isEmpty())
        return stored;
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    settings.setValue(key(), made);
    settings.sync();
    return made;
}

QString InstallId::value() {
    QSettings settings;
    return value(settings);
}

}  // namespace rk
