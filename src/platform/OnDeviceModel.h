#pragma once
// The computer's own language model, used to explain login items without
// sending anything away. A Mac with the system model answers prompts; this
// Linux host has no such model and says so.

#include <QString>

#include "platform/Result.h"

namespace rk {

class OnDeviceModel {
public:
    virtual ~OnDeviceModel() = default;

    // Whether a model is there and ready to answer now.
    virtual bool available() const = 0;
    // The model's text for `prompt` under `instructions`, or why there is none.
    // Blocks until the model has answered or given up; never call it on the
    // main thread. Implementations bound their own time.
    virtual Result<QString, QString> respond(const QString& instructions, const QString& prompt) = 0;

    // The process-wide model; the host's own unless a test replaced it.
    static OnDeviceModel& current();
    // nullptr restores the host model. The caller keeps `model` alive.
    static void setCurrent(OnDeviceModel* model);
    static OnDeviceModel& host();
};

}  // namespace rk
