#pragma once
// Who this computer is, for noticing that the app's data now lives on another
// machine. A Mac answers with its hardware platform UUID; Linux answers with
// /etc/machine-id, which is made once per installation and travels with a
// disk image or backup just as a Mac's data travels with Migration Assistant.

#include <QString>
#include <optional>

#include "platform/SystemPaths.h"

namespace rk {

class MachineIdentity {
public:
    virtual ~MachineIdentity() = default;

    // A stable text that differs between machines; none when the system
    // gives none (a missing or empty identity file). Safe from any thread.
    virtual std::optional<QString> platformIdentity() const = 0;
    // The name the person knows this computer by; empty when unknown.
    virtual QString machineName() const = 0;

    static MachineIdentity& current();
    static void setCurrent(MachineIdentity* identity);  // nullptr restores the host one
};

// Linux: the identity file (logical path, read through SystemPaths so that
// tests can re-root it) and the host name.
class HostMachineIdentity final : public MachineIdentity {
public:
    // Reads SystemPaths::current() at each call.
    HostMachineIdentity() = default;
    explicit HostMachineIdentity(const SystemPaths& paths) : paths_(paths) {}

    std::optional<QString> platformIdentity() const override;
    QString machineName() const override;

private:
    std::optional<SystemPaths> paths_;
};

}  // namespace rk
