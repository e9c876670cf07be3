#include "app/model/Stats.h"

#include <QDir>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "platform/AppFolders.h"
#include "platform/FileProbe.h"
#include "platform/Seam.h"

#ifdef __linux__
#include <pthread.h>
#endif

namespace rk {

// A serial queue on its own thread: jobs run one at a time in the order
// given; delayed jobs join the line when they fall due.
class SerialWorker {
public:
    using Job = std::function<void()>;

    explicit SerialWorker(const char* name) : thread_([this] { loop(); }) {
#ifdef __linux__
        pthread_setname_np(thread_.native_handle(), name);
#else
        (void)name;
#endif
    }

    // Pending and delayed jobs are dropped; a running job is finished.
    ~SerialWorker() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void async(Job job) {
        {
            std::lock_guard lock(mutex_);
            ready_.push_back(std::move(job));
        }
        wake_.notify_all();
    }

    void after(std::chrono::milliseconds delay, Job job) {
        {
            std::lock_guard lock(mutex_);
            delayed_.emplace(std::chrono::steady_clock::now() + delay, std::move(job));
        }
        wake_.notify_all();
    }

    // Runs the job on the worker behind everything queued, and waits.
    void sync(const Job& job) {
        if (std::this_thread::get_id() == thread_.get_id()) {
            job();
            return;
        }
        std::promise<void> done;
        async([&] {
            job();
            done.set_value();
        });
        done.get_future().wait();
    }

private:
    void loop() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            const auto now = std::chrono::steady_clock::now();
            while (!delayed_.empty() && delayed_.begin()->first <= now) {
                ready_.push_back(std::move(delayed_.begin()->second));
                delayed_.erase(delayed_.begin());
            }
            if (!ready_.empty()) {
                Job job = std::move(ready_.front());
                ready_.pop_front();
                lock.unlock();
                job();
                lock.lock();
            } else if (!delayed_.empty()) {
                wake_.wait_until(lock, delayed_.begin()->first);
            } else {
                wake_.wait(lock);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> ready_;
    std::multimap<std::chrono::steady_clock::time_point, Job> delayed_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

namespace {

constexpr const char* kFileName = "usage.json";

// The largest count the file keeps: every whole number up to it is exact
// as the double JSON reads it as.
constexpr qint64 kLargestCount = 9'000'000'000'000'000;

std::optional<qint64> wholeNumber(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::floor(d) != d || std::fabs(d) > double(kLargestCount))
        return std::nullopt;
    return static_cast<qint64>(d);
}

// The counters of 18 events take a few kilobytes; a file far larger is
// not the program's.
constexpr qint64 kMaxFileBytes = 1024 * 1024;

}  // namespace

QJsonObject UsageCounters::tableFrom(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    const QJsonObject table = doc.object();
    for (auto it = table.begin(); it != table.end(); ++it) {
        if (!it.value().isObject())
            return {};
    }
    return table;
}

UsageCounters::UsageCounters() : UsageCounters(Options{}) {}

UsageCounters::UsageCounters(Options options)
    : options_(std::move(options)), worker_(std::make_unique<SerialWorker>("larkspur.stats")) {}

UsageCounters::~UsageCounters() = default;

void UsageCounters::record(const QString& name) {
    if (!Stats::isCounted(name))
        return;
    worker_->async([this, name] { count(name); });
}

void UsageCounters::flush() {
    // On the worker, never beside it: a recording in progress and this write
    // would otherwise touch the table and the dirty flag at the same time.
    worker_->sync([this] { write(); });
}

QMap<QString, qint64> UsageCounters::snapshot() {
    QMap<QString, qint64> result;
    worker_->sync([&] {
        const QJsonObject& all = table();
        for (auto it = all.begin(); it != all.end(); ++it) {
            if (const auto n = wholeNumber(it.value().toObject().value("count")))
                result.insert(it.key(), *n);
        }
    });
    return result;
}

int UsageCounters::writes() {
    int n = 0;
    worker_->sync([&] { n = writes_; });
    return n;
}

QString UsageCounters::file() const {
    const QString folder = AppFolders::preparedSupport(options_.base);
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(kFileName);
}

QJsonObject& UsageCounters::table() {
    if (!counts_)
        counts_ = tableFrom(readWholeFile(file(), kMaxFileBytes).valueOr(QByteArray()));
    return *counts_;
}

double UsageCounters::now() const {
    const Clock& clock = options_.clock ? *options_.clock : Clock::current();
    return Clock::secondsSince1970(clock.now());
}

void UsageCounters::count(const QString& name) {
    const double at = now();
    QJsonObject& all = table();
    QJsonObject entry =
        all.contains(name) ? all.value(name).toObject() : QJsonObject{{"count", 0}, {"first", at}};
    // A count at the largest stays there: one more would not be read back.
    entry["count"] = std::min(wholeNumber(entry.value("count")).value_or(0) + 1, kLargestCount);
    entry["last"] = at;
    all.insert(name, entry);
    if (dirty_)
        return;  // the write already scheduled carries this change
    dirty_ = true;
    worker_->after(options_.writeDelay, [this] { write(); });
}

void UsageCounters::write() {
    dirty_ = false;
    const QByteArray bytes = QJsonDocument(table()).toJson(QJsonDocument::Compact);
    // Replaced whole or not at all: a crash mid-write must not leave a
    // truncated file that would reset every counter at the next start.
    if (writeWholeFile(file(), bytes))
        ++writes_;
}

const QStringList& Stats::vocabulary() {
    static const QStringList names{
        "launch",          "page.start",       "page.accessibility",
        "page.loginItems", "page.done",        "open.accessibility",
        "open.loginItems", "link.start",       "link.accessibility",
        "link.loginItems", "link.unknown",     "select.ok",
        "select.refused",  "permissions.open", "ai.consent.yes",
        "ai.consent.no",   "diagnostics.save", "demo.on",
    };
    return names;
}

bool Stats::isCounted(const QString& name) {
    return vocabulary().contains(name);
}

UsageCounters& Stats::current() {
    return Seam<UsageCounters>::current<UsageCounters>();
}

void Stats::setCurrent(UsageCounters* counters) {
    Seam<UsageCounters>::setCurrent(counters);
}

void Stats::record(const QString& name) {
    // Checked on the caller's thread so that names never counted do not
    // even start the worker.
    if (isCounted(name))
        current().record(name);
}

void Stats::flush() {
    current().flush();
}

QMap<QString, qint64> Stats::snapshot() {
    return current().snapshot();
}

QString Stats::file() {
    return current().file();
}

}  // namespace rk
