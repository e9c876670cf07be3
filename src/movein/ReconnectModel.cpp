#include "movein/ReconnectModel.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

namespace rk {

namespace {

QThreadPool& utilityPool() {
    static QThreadPool pool;
    static const bool configured = [] {
        pool.setMaxThreadCount(1);
        pool.setThreadPriority(QThread::LowPriority);
        return true;
    }();
    (void)configured;
    return pool;
}

}  // namespace

// The worker's way back to the model. The model may be destroyed while a
// round of checks is still running; the worker then finds `model` cleared
// and drops its results. Posting happens under the lock, so it never races
// the destructor, and Qt discards events still queued for a destroyed object.
struct KTReconnectModel::Link {
    QMutex mutex;
    KTReconnectModel* model = nullptr;
};

KTReconnectModel::KTReconnectModel(QList<KTReconnectItem> items, QObject* parent, Executor executor,
                                   std::chrono::milliseconds interval)
    : QObject(parent),
      items_(std::move(items)),
      executor_(executor ? std::move(executor) : utilityExecutor()),
      link_(std::make_shared<Link>()) {
    link_->model = this;
    results_.resize(items_.size());
    refusals_.resize(items_.size());
    timer_.setInterval(static_cast<int>(interval.count()));
    connect(&timer_, &QTimer::timeout, this, &KTReconnectModel::refresh);
}

KTReconnectModel::~KTReconnectModel() {
    QMutexLocker lock(&link_->mutex);
    link_->model = nullptr;
}

int KTReconnectModel::connectedCount() const {
    return static_cast<int>(std::count_if(results_.begin(), results_.end(),
                                          [](const KTReconnectResult& r) { return r.status.isConnected(); }));
}

void KTReconnectModel::start() {
    timer_.start();
    refresh();
}

void KTReconnectModel::stop() {
    timer_.stop();
}

void KTReconnectModel::refresh() {
    if (inFlight_) {
        again_ = true;
        return;
    }
    QList<int> rows;
    QList<std::function<KTReconnectResult()>> checks;
    bool changedHere = false;
    for (int i = 0; i < items_.size(); ++i) {
        const KTReconnectItem& item = items_.at(i);
        if (!item.check)
            continue;
        if (item.checkOnMainThread) {
            const KTReconnectResult found = item.check();
            if (found != results_.at(i)) {
                results_[i] = found;
                changedHere = true;
            }
        } else {
            rows << i;
            checks << item.check;
        }
    }
    if (changedHere)
        emit changed();
    if (rows.isEmpty()) {
        ++rounds_;
        return;
    }
    inFlight_ = true;
    executor_([link = link_, rows, checks] {
        QList<KTReconnectResult> found;
        for (const auto& check : checks)
            found << check();
        QMutexLocker lock(&link->mutex);
        KTReconnectModel* model = link->model;
        if (!model)
            return;
        QMetaObject::invokeMethod(
            model, [model, rows, found] { model->deliver(rows, found); }, Qt::QueuedConnection);
    });
}

void KTReconnectModel::deliver(const QList<int>& rows, const QList<KTReconnectResult>& found) {
    inFlight_ = false;
    ++rounds_;
    bool differs = false;
    for (int k = 0; k < rows.size() && k < found.size(); ++k) {
        const int row = rows.at(k);
        if (row < results_.size() && results_.at(row) != found.at(k)) {
            results_[row] = found.at(k);
            differs = true;
        }
    }
    if (differs)
        emit changed();
    if (again_) {
        again_ = false;
        refresh();
    }
}

void KTReconnectModel::perform(int row) {
    if (row < 0 || row >= items_.size())
        return;
    const KTReconnectItem& item = items_.at(row);
    const std::optional<QString> refused =
        item.action ? item.action(results_.at(row).actionLabel) : std::nullopt;
    if (refused != refusals_.at(row)) {
        refusals_[row] = refused;
        emit changed();
    }
    refresh();
}

KTReconnectModel::Executor KTReconnectModel::utilityExecutor() {
    return [](std::function<void()> job) { utilityPool().start(std::move(job)); };
}

}  // namespace rk
