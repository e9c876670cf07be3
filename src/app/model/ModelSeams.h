#pragma once
// Time and threads of the application model, behind seams so that a test can
// run the scan loop by hand: the clock, the repeating tick, the serial queue
// of Accessibility reads, the task that photographs the window and the task
// that asks for the Mac's model. The real ones are a QTimer, a worker thread
// named "larkspur.ax" and Qt's thread pool, each handing its result back to
// the main thread through its event queue.

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Clock.h"

namespace rk {

// A running repeating timer; destroying it stops it.
class Ticker {
public:
    virtual ~Ticker() = default;
};

class TickSource {
public:
    virtual ~TickSource() = default;
    // Calls `beat` on the main thread every `seconds` until the ticker is destroyed.
    virtual std::unique_ptr<Ticker> every(double seconds, std::function<void()> beat) = 0;
};

// Work that leaves the main thread and comes back.
class TaskQueue {
public:
    virtual ~TaskQueue() = default;
    // Runs `work` away from the main thread, then `deliver` on the main
    // thread, in its event loop. `deliver` is dropped when `context` has been
    // destroyed by then, so a result never reaches an object that is gone.
    // Call on the main thread.
    virtual void async(std::function<void()> work, QObject* context, std::function<void()> deliver) = 0;
};

// Qt's timer on the main thread's event loop.
class QtTickSource final : public TickSource {
public:
    std::unique_ptr<Ticker> every(double seconds, std::function<void()> beat) override;
};

// One worker thread of its own: jobs run one at a time, in the order given.
// The thread starts with the first job; destroying the queue lets the job
// that is running finish, drops the ones still waiting and ends the thread.
class SerialThreadQueue final : public TaskQueue {
public:
    explicit SerialThreadQueue(QString name, QThread::Priority priority = QThread::InheritPriority);
    ~SerialThreadQueue() override;
    SerialThreadQueue(const SerialThreadQueue&) = delete;
    SerialThreadQueue& operator=(const SerialThreadQueue&) = delete;

    void async(std::function<void()> work, QObject* context, std::function<void()> deliver) override;

private:
    QString name_;
    QThread::Priority priority_;
    std::unique_ptr<QThread> thread_;
    std::unique_ptr<QObject> worker_;  // lives in `thread_`; runs the jobs
};

// Qt's global thread pool: jobs may run side by side.
class PoolQueue final : public TaskQueue {
public:
    void async(std::function<void()> work, QObject* context, std::function<void()> deliver) override;
};

// What the model runs on. Null pointers and empty values stand for the real
// ones, which the model then makes and owns; given ones stay the caller's
// and must outlive the model.
struct ModelSeams {
    Clock* clock = nullptr;             // Clock::current()
    TickSource* ticks = nullptr;        // a QtTickSource
    TaskQueue* ax = nullptr;            // the serial "larkspur.ax" worker thread
    TaskQueue* capture = nullptr;       // the window photo: a PoolQueue
    TaskQueue* background = nullptr;    // the Mac model lookup: a PoolQueue
    QString defaultsFile;               // user defaults: empty for QSettings()'s own
    std::optional<QString> hostName;    // the computer's name: none asks the system
    std::function<bool()> dark;         // the app's appearance: empty asks the palette
    std::function<void()> placeWindow;  // empty: what the shell installs, else nothing
};

}  // namespace rk
