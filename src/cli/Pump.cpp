#include "cli/Pump.h"

#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <thread>

namespace rk {

void runEventLoop(double seconds) {
    if (!(seconds > 0))
        return;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::ceil(seconds * 1000)), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}

void startOnOwnThread(std::function<void()> work) {
    std::thread(std::move(work)).detach();
}

}  // namespace rk
