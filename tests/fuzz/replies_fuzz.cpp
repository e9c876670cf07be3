// A reply of the AI gateway and one of the on-device model, for two items.
#include "FuzzInput.h"
#include "explain/ExplainPrompt.h"
#include "explain/GatewayClient.h"

void fuzz(const QByteArray& input) {
    static const QList<rk::ExplainItem> items{{"a", "Relay", "com.vendor.relay", "Relay.app", "Vendor"},
                                              {"b", "Sync", std::nullopt, std::nullopt, std::nullopt}};
    rk::GatewayClient::parseReply(input, items);
    rk::ExplainPrompt::parse(QString::fromUtf8(input), items);
}
