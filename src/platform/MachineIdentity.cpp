#include "platform/MachineIdentity.h"

#include <QFile>
#include <QSysInfo>

#include "platform/Seam.h"

namespace rk {

namespace {

// The identity file is one short line; anything much longer is not it.
constexpr qint64 kMaxIdentityBytes = 4096;

}  // namespace

MachineIdentity& MachineIdentity::current() {
    return Seam<MachineIdentity>::current<HostMachineIdentity>();
}

void MachineIdentity::setCurrent(MachineIdentity* identity) {
    Seam<MachineIdentity>::setCurrent(identity);
}

std::optional<QString> HostMachineIdentity::platformIdentity() const {
    const SystemPaths& paths = paths_ ? *paths_ : SystemPaths::current();
    QFile file(paths.disk(paths.machineIdFile()));
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
