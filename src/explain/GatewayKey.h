#pragma once
// The AI gateway settings fixed when the program is built (CMake cache
// variables ROWKEEPER_GATEWAY_BASE, ROWKEEPER_GATEWAY_KEY and
// ROWKEEPER_GATEWAY_PROVIDER_KEY). All three are empty unless the build
// names them; without an address and a key nothing is ever sent.

#include <QString>

namespace rk {

struct GatewayKey {
    // The client key sent as the bearer token; empty when none is configured.
    static QString value();
    // The gateway's base address; "v1/call" is resolved under it.
    static QString baseAddress();
    // The optional provider key; empty when none is configured.
    static QString providerKey();
};

}  // namespace rk
