#pragma once
// Stand-ins for the application model's time and threads, and a whole
// machine for it to run on.
//
// `ManualTicks` and `ManualQueue` let a test beat the scan loop's timer and
// run each job that leaves the main thread (its work, then its hand-back) by
// hand, in any order, so that every interleaving can be set up on purpose.
// `ModelWorld` is a re-rooted temporary machine with its privacy database,
// background-task store and launchd folders, a simulated System Settings
// with its screen capture, a clock that stands still, usage counters of its
// own and a model wired to all of it.

#include <QPointer>

#include "app/model/AppModel.h"
#include "app/model/ModelSeams.h"
#include "app/model/Stats.h"
#include "platform/KeyedArchiveWriter.h"
#include "support/ExplainFakes.h"
#include "support/FakeClock.h"
#include "support/PlatformFakes.h"
#include "support/QtApp.h"
#include "support/SimulatedPhoto.h"
#include "support/SimulatedSettings.h"
#include "support/TccDbWriter.h"
#include "support/TempRoot.h"

namespace rk::test {

// The QApplication of a test program that builds models (their marks overlay
// is a window): made before the first test and ended after the last.
class QtAppEnvironment : public AppEnvironment {
public:
    QtAppEnvironment() : AppEnvironment(AppKind::widgets, "rowkeeper_model_test") {}
};

class ManualTicks final : public TickSource {
public:
    std::unique_ptr<Ticker> every(double seconds, std::function<void()> beat) override;

    // Timers not yet stopped.
    int running() const;
    // One beat of every running timer, in the order they were made.
    void fire();

private:
    struct Entry {
        double seconds = 0;
        std::function<void()> beat;
        bool alive = true;
    };
    std::vector<std::shared_ptr<Entry>> entries_;
};

class ManualQueue final : public TaskQueue {
public:
    struct Job {
        std::function<void()> work;
        QPointer<QObject> context;
        std::function<void()> deliver;
        bool worked = false;
        bool delivered = false;  // handed back, or dropped because the context was gone
    };

    void async(std::function<void()> work, QObject* context, std::function<void()> deliver) override;

    qsizetype size() const { return jobs_.size(); }
    // Jobs not yet handed back.
    int pending() const;
    // Runs job i's work (off the main thread, as far as the model can tell).
    void work(qsizetype i);
    // Runs its work if that has not run yet, then hands it back, unless the
    // context is gone, as a queued hand-back would.
    void deliver(qsizetype i);
    // Runs and hands back the oldest job not yet handed back until none is
    // left (jobs added by hand-backs included); the number of jobs run.
    int drain();

private:
    QList<Job> jobs_;
};

// The guide's sentences that more than one test expects.
inline const QString kHighlighted = QStringLiteral(
    "Highlighted for you: press the minus (\u2212) button under the list, then confirm with Touch ID or your "
    "password.");
inline const QString kClickRow =
    QStringLiteral("Marked in red on the screen: click that row once, then press the minus (\u2212) button.");
inline const QString kTurnOff =
    QStringLiteral("Marked in red on the screen: turn off its switch. macOS may ask for your password.");
inline const QString kNothingLeft = QStringLiteral("Nothing left to remove on this page.");

// One row of the person's privacy database: `client` allowed Accessibility.
TccDbRow accessibilityRow(const QString& client, qint64 clientType = 0);

// One background-task item as the store lists it.
ArchivedItem agentItem(const QString& name, const QString& label, const QString& plist, bool enabled,
                       const QString& program);

class ModelWorld {
public:
    static constexpr const char* home = "/Users/anna";

    ModelWorld();
    ~ModelWorld();
    ModelWorld(const ModelWorld&) = delete;
    ModelWorld& operator=(const ModelWorld&) = delete;

    // ---- Store files (written by the test, acting as macOS) -------------------
    // Both privacy databases: the system's without rows, the person's with these.
    void writeTcc(const QList<TccDbRow>& personRows);
    // The background-task store with these items, all of the person.
    void writeBtm(const QList<ArchivedItem>& items);
    // An application bundle (a folder) that the registry lists for the identifier.
    void installApp(const QString& bundleIdentifier, const QString& logicalPath);
    // The Accessibility page, open in front in System Settings, with one
    // leftover ("Ghost", com.example.Ghost, a blank icon) and one installed
    // app ("Editor", com.vendor.Editor).
    void showGhostAndEditor();
    // Remembers the store files' bytes as they are now.
    void markStores() { marked_ = readStores(); }
    // The store files whose bytes differ from the ones remembered, by disk path.
    QStringList changedStores() const;

    // ---- The loop, by hand -----------------------------------------------------
    // Makes the model (with these seams) and starts it, running the Mac model
    // lookup; then goes to `step` when one is given.
    AppModel& startModel(std::optional<Step> step = std::nullopt);
    // Runs every job that left the main thread, and the jobs their
    // hand-backs start, until nothing is left.
    void settle();
    // One tick, then settle().
    void beat();
    // Moves the clock on, then beat().
    void beatAfter(double seconds);

    // ---- Checks that hold throughout -------------------------------------------
    // Every write to System Settings was selecting one of its rows.
    bool onlyRowSelections() const;
    int selectionWrites() const { return int(settings.writes().size()); }

    TempRoot root;
    FakeClock clock;
    std::unique_ptr<UsageCounters> counters;
    ManualTicks ticks;
    ManualQueue ax;
    ManualQueue capture;
    ManualQueue background;
    ManualDispatch explain;
    FakeAppRegistry registry;
    SimulatedSettings settings;
    SimulatedPhoto photo;
    ModelSeams seams;
    std::unique_ptr<AppModel> model;

private:
    QMap<QString, QByteArray> readStores() const;
    QMap<QString, QByteArray> marked_;
};

}  // namespace rk::test
