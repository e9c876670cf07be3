#pragma once
// Which version of macOS this computer runs, for the updater's rule that a
// build may name the oldest system it runs on. A Linux computer runs no
// macOS, so the host answers none and every such rule counts as not met.
// Tests put in a version with `setCurrent`. Any thread.

#include <QVersionNumber>
#include <optional>

namespace rk {

class SystemVersion {
public:
    virtual ~SystemVersion() = default;

    // Major, minor and patch of the running macOS; none when this is no Mac.
    virtual std::optional<QVersionNumber> macOS() const = 0;

    // The process-wide answer; nullptr restores the host's.
    static SystemVersion& current();
    static void setCurrent(SystemVersion* version);
};

// Linux: no macOS.
class HostSystemVersion final : public SystemVersion {
public:
    std::optional<QVersionNumber> macOS() const override { return std::nullopt; }
};

}  // namespace rk
