// The permission record, the restart record, the usage counters and a fresh
// copy's answer about its grants.
#include "FuzzInput.h"
#include "app/model/Stats.h"
#include "permissions/FreshProcessCheck.h"
#include "permissions/PermissionState.h"
#include "permissions/StaleGrant.h"

void fuzz(const QByteArray& input) {
    rk::KTPermissionState::grantedIDs(input, QStringLiteral("com.quillory.rowkeeper"));
    rk::KTStaleGrantRestarts::timesFrom(input);
    rk::UsageCounters::tableFrom(input);
    rk::KTFreshProcessCheck::parseAnswer(input);
}
