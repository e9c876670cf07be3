#pragma once
// The reconnect rows and what their checks last found. Checks run every two
// seconds on a utility-priority worker, never on the main thread (except the
// few rows that ask for it); their results come back to the main thread,
// where the model lives, and `changed()` tells the view.

#include <QList>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "movein/Reconnect.h"

namespace rk {

class KTReconnectModel final : public QObject {
    Q_OBJECT

public:
    // Runs a job away from the main thread. Tests pass their own.
    using Executor = std::function<void(std::function<void()> job)>;

    static constexpr std::chrono::milliseconds refreshInterval{2000};

    explicit KTReconnectModel(QList<KTReconnectItem> items, QObject* parent = nullptr, Executor executor = {},
                              std::chrono::milliseconds interval = refreshInterval);
    ~KTReconnectModel() override;

    const QList<KTReconnectItem>& items() const { return items_; }
    // "checking" with no button title until the row's first check is back.
    const QList<KTReconnectResult>& results() const { return results_; }
    int connectedCount() const;
    // How many rounds of checks have finished since the model was made.
    int rounds() const { return rounds_; }

    // Checks now, then every interval, until stop().
    void start();
    void stop();
    bool isRunning() const { return timer_.isActive(); }
    std::chrono::milliseconds interval() const { return std::chrono::milliseconds(timer_.interval()); }

    // One round of checks. While one is under way another is not started;
    // one more follows it instead.
    void refresh();
    bool refreshing() const { return inFlight_; }

    // Presses row `row`'s button (with the title it shows now), then checks again.
    void perform(int row);
    // What the row's last press could not do; none after one that could.
    std::optional<QString> refusal(int row) const { return refusals_.value(row); }

    // The worker every model uses unless told otherwise: one thread of
    // utility priority, so the checks queue behind each other.
    static Executor utilityExecutor();

signals:
    void changed();

private:
    struct Link;
    void deliver(const QList<int>& rows, const QList<KTReconnectResult>& found);

    QList<KTReconnectItem> items_;
    QList<KTReconnectResult> results_;
    QList<std::optional<QString>> refusals_;
    Executor executor_;
    QTimer timer_;
    std::shared_ptr<Link> link_;
    bool inFlight_ = false;
    bool again_ = false;
    int rounds_ = 0;
};

}  // namespace rk
