#pragma once
// Local usage counters: for each named event, how often it happened and when
// it first and last happened. Nothing leaves the computer; the counters live
// in "usage.json" in the app's Application Support folder and appear in the
// diagnostics file.
//
// Any thread may record. Counting happens on one serial worker thread
// ("larkspur.stats") that owns the table; the file follows at most 3 seconds
// after the first unsaved change, so a burst of events costs one write.

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

#include "platform/Clock.h"

namespace rk {

class SerialWorker;

// One set of counters and its file. The program uses the process-wide one
// behind `Stats`; tests make their own over a temporary folder.
class UsageCounters {
public:
    struct Options {
        // The Application Support folder; empty: QStandardPaths' generic
        // data location (Linux's counterpart of the Mac's).
        QString base;
        // nullptr: Clock::current(), asked at each recording.
        const Clock* clock = nullptr;
        std::chrono::milliseconds writeDelay{3000};
    };

    UsageCounters();
    explicit UsageCounters(Options options);
    // Stops the worker; recordings not yet written are lost, as when the
    // process ends without passing through termination.
    ~UsageCounters();
    UsageCounters(const UsageCounters&) = delete;
    UsageCounters& operator=(const UsageCounters&) = delete;

    // Returns at once. Names outside the vocabulary are ignored.
    void record(const QString& name);
    // Writes the table now, on the worker, after every recording made
    // before the call; returns once written (or the write failed).
    void flush();
    // Event name -> count, including every recording made before the call.
    // Entries whose count is not a whole number are left out.
    QMap<QString, qint64> snapshot();
    // "usage.json" in the app's folder, which is prepared first (see
    // `AppFolders::preparedSupport`: the old folder's move, then creation).
    QString file() const;
    // How many times the file was written successfully.
    int writes();

    // The table a file's bytes hold when they are an object of objects;
    // empty otherwise.
    static QJsonObject tableFrom(const QByteArray& data);

private:
    QJsonObject& table();
    void count(const QString& name);
    void write();
    double now() const;

    Options options_;
    std::optional<QJsonObject> counts_;  // worker only; loaded on first use
    bool dirty_ = false;                 // worker only: a write is scheduled
    int writes_ = 0;                     // worker only
    std::unique_ptr<SerialWorker> worker_;
};

struct Stats {
    // The 18 event names that are counted, in their declared order.
    static const QStringList& vocabulary();
    static bool isCounted(const QString& name);

    static void record(const QString& name);
    // Called by the application delegate at termination.
    static void flush();
    static QMap<QString, qint64> snapshot();
    static QString file();

    // The process-wide counters, made on first use; tests may substitute
    // their own (nullptr restores the process-wide ones).
    static UsageCounters& current();
    static void setCurrent(UsageCounters* counters);
};

}  // namespace rk
