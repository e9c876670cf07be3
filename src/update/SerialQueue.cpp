#include "update/SerialQueue.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

namespace rk {

class SerialQueue::Worker final : public QThread {
public:
    void add(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        changed_.notify_one();
    }

    void finish() {
        {
            std::lock_guard lock(mutex_);
            finishing_ = true;
        }
        changed_.notify_one();
        wait();
    }

protected:
    void run() override {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return finishing_ || !tasks_.empty(); });
                if (tasks_.empty())
                    return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    bool finishing_ = false;
};

SerialQueue::SerialQueue(const QString& name, QThread::Priority priority) : worker_(new Worker) {
    worker_->setObjectName(name);
    worker_->start(priority);
}

SerialQueue::~SerialQueue() {
    worker_->finish();
}

void SerialQueue::async(std::function<void()> task) {
    worker_->add(std::move(task));
}

void SerialQueue::sync(const std::function<void()>& task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    worker_->add([&] {
        task();
        done.set_value();
    });
    done.get_future().wait();
}

bool SerialQueue::isCurrent() const {
    return QThread::currentThread() == worker_.get();
}

}  // namespace rk
