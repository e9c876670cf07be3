#include "app/model/ModelSeams.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <cmath>

namespace rk {

namespace {

class QtTicker final : public Ticker {
public:
    QtTicker(double seconds, std::function<void()> beat) {
        timer_.setInterval(static_cast<int>(std::lround(seconds * 1000)));
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(beat));
        timer_.start();
    }

private:
    QTimer timer_;
};

// The hand-back: runs on the main thread, through its event queue, and only
// while the context still exists. The guard is checked on the main thread,
// where the context is destroyed, so the check cannot race the destruction.
void handBack(QPointer<QObject> context, std::function<void()> deliver) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return;  // the application is gone: nobody is left to tell
    }
    QMetaObject::invokeMethod(
        app,
        [context = std::move(context), deliver = std::move(deliver)] {
            if (context) {
                deliver();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace

std::unique_ptr<Ticker> QtTickSource::every(double seconds, std::function<void()> beat) {
    return std::make_unique<QtTicker>(seconds, std::move(beat));
}

SerialThreadQueue::SerialThreadQueue(QString name, QThread::Priority priority)
    : name_(std::move(name)), priority_(priority) {}

SerialThreadQueue::~SerialThreadQueue() {
    if (thread_) {
        thread_->quit();
        thread_->wait();
    }
}

void SerialThreadQueue::async(std::function<void()> work, QObject* context, std::function<void()> deliver) {
    if (!thread_) {
        thread_ = std::make_unique<QThread>();
        // Qt names the system thread after the object when it starts.
        thread_->setObjectName(name_);
        worker_ = std::make_unique<QObject>();
        worker_->moveToThread(thread_.get());
        thread_->start(priority_);
    }
    // Events posted to one object are delivered in order, one at a time.
    QMetaObject::invokeMethod(
        worker_.get(),
        [work = std::move(work), guard = QPointer<QObject>(context), deliver = std::move(deliver)]() mutable {
            work();
            handBack(std::move(guard), std::move(deliver));
        },
        Qt::QueuedConnection);
}

void PoolQueue::async(std::function<void()> work, QObject* context, std::function<void()> deliver) {
    QThreadPool::globalInstance()->start(
        [work = std::move(work), guard = QPointer<QObject>(context), deliver = std::move(deliver)]() mutable {
            work();
            handBack(std::move(guard), std::move(deliver));
        });
}

}  // namespace rk
