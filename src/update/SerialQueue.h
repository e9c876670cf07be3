#pragma once
// A serial queue: a worker thread of its own that runs the tasks handed to
// it one after the other, in the order they were handed over. The updater
// has two, "kt.update" for its checks and downloads (which block their
// thread for minutes) and "kt.update.log" for appending to its log file.
//
// A task may run a local event loop, as a network request does: that loop
// delivers Qt's events to the objects of this thread, never the next task,
// so the queue stays serial. `async` and `sync` may be called from any
// thread. Destroying the queue lets the tasks already handed over run, then
// ends the thread.

#include <QString>
#include <QThread>
#include <functional>
#include <memory>

namespace rk {

class SerialQueue {
public:
    explicit SerialQueue(const QString& name, QThread::Priority priority = QThread::InheritPriority);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Runs `task` after everything handed over before it; returns at once.
    void async(std::function<void()> task);
    // Runs `task` after everything handed over before it and waits for it.
    // Called from a task of this same queue, it runs `task` at once instead
    // of waiting for itself.
    void sync(const std::function<void()>& task);
    // The calling code runs on this queue's thread.
    bool isCurrent() const;

private:
    class Worker;
    std::unique_ptr<Worker> worker_;
};

}  // namespace rk
