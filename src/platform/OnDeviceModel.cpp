#include "platform/OnDeviceModel.h"

#include <atomic>

namespace rk {

namespace {

class HostModel final : public OnDeviceModel {
public:
    bool available() const override { return false; }
    Result<QString, QString> respond(const QString&, const QString&) override {
        return fail(QStringLiteral("no on-device language model on this computer"));
    }
};

std::atomic<OnDeviceModel*> replaced{nullptr};

}  // namespace

OnDeviceModel& OnDeviceModel::host() {
    static HostModel model;
    return model;
}

OnDeviceModel& OnDeviceModel::current() {
    OnDeviceModel* model = replaced.load();
    return model ? *model : host();
}

void OnDeviceModel::setCurrent(OnDeviceModel* model) {
    replaced.store(model);
}

}  // namespace rk
