#include "platform/MachineIdentity.h"

#include <QFile>
#include <QSysInfo>
#include <atomic>

namespace rk {

namespace {

HostMachineIdentity& hostIdentity() {
    static HostMachineIdentity identity;
    return identity;
}

std::atomic<MachineIdentity*> replacement{nullptr};

// The identity file is one short line; anything much longer is not it.
constexpr qint64 kMaxIdentityBytes = 4096;

}  // namespace

MachineIdentity& MachineIdentity::current() {
    MachineIdentity* identity = replacement.load();
    return identity ? *identity : hostIdentity();
}

void MachineIdentity::setCurrent(MachineIdentity* identity) {
    replacement.store(identity);
}

std::optional<QString> HostMachineIdentity::platformIdentity() const {
    const SystemPaths& paths = paths_ ? *paths_ : SystemPaths::current();
    QFile file(paths.disk(identityFile));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString text = QString::fromUtf8(file.read(kMaxIdentityBytes)).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QString HostMachineIdentity::machineName() const {
    return QSysInfo::machineHostName();
}

}  // namespace rk
