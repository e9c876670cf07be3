#include "platform/OnDeviceModel.h"

#include "platform/Seam.h"

namespace rk {

namespace {

class HostModel final : public OnDeviceModel {
public:
    bool available() const override { return false; }
    Result<QString, QString> respond(const QString&, const QString&) override {
        return fail(QStringLiteral("no on-device language model on this computer"));
    }
};

}  // namespace

OnDeviceModel& OnDeviceModel::host() {
    static HostModel model;
    return model;
}

OnDeviceModel& OnDeviceModel::current() {
    return Seam<OnDeviceModel>::current(host());
}

void OnDeviceModel::setCurrent(OnDeviceModel* model) {
    Seam<OnDeviceModel>::setCurrent(model);
}

}  // namespace rk
