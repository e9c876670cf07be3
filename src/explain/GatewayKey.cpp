#include "explain/GatewayKey.h"

namespace rk {

QString GatewayKey::value() {
    return QStringLiteral(ROWKEEPER_GATEWAY_KEY).trimmed();
}

QString GatewayKey::baseAddress() {
    return QStringLiteral(ROWKEEPER_GATEWAY_BASE).trimmed();
}

QString GatewayKey::providerKey() {
    return QStringLiteral(ROWKEEPER_GATEWAY_PROVIDER_KEY).trimmed();
}

}  // namespace rk
