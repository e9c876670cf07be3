#include "permissions/identity/LegacyRepairStatus.h"

namespace rk::KTLegacyIdentityRepair {

// Its first use is on the main thread, so it lives there.
Status& Status::shared() {
    static Status status;
    return status;
}

void Status::addClearedServices(const QSet<QString>& services) {
    const qsizetype before = cleared_.size();
    cleared_.unite(services);
    if (cleared_.size() != before)
        emit clearedServicesChanged();
}

}  // namespace rk::KTLegacyIdentityRepair
