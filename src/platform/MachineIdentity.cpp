#include "platform/MachineIdentity.h"

#include <QSysInfo>

#include "platform/FileProbe.h"
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
    const auto bytes = readWholeFile(paths.disk(paths.machineIdFile()), kMaxIdentityBytes);
    if (!bytes)
        return std::nullopt;
    const QString text = QString::fromUtf8(*bytes).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QString HostMachineIdentity::machineName() const {
    return QSysInfo::machineHostName();
}

}  // namespace rk
