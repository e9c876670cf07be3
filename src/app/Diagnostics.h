#pragma once
// The diagnostics file: a snapshot of the app's state made of counts, flags
// and short codes only (no names of apps, rows or people, no paths), written
// as JSON to the Desktop on request and shown in the file manager, so the
// person can attach it to a report.

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

#include "app/model/AppModel.h"
#include "app/model/Step.h"
#include "finder/Decision.h"
#include "finder/LaunchdScan.h"
#include "platform/Result.h"
#include "platform/SystemPaths.h"

namespace rk {

class UsageCounters;

// The machine facts the file records, and showing a saved file to the person.
class DiagnosticsHost {
public:
    virtual ~DiagnosticsHost() = default;

    // The operating system's name and version.
    virtual QString osVersion() const = 0;
    // The machine's model name; "unknown" when the system gives none.
    virtual QString hardwareModel() const = 0;
    virtual int cores() const = 0;
    virtual quint64 memoryBytes() const = 0;
    // Shows the saved file in the file manager, selected where it can; false
    // when nothing here could show it.
    virtual bool reveal(const QString& diskPath) = 0;

    static DiagnosticsHost& current();
    static void setCurrent(DiagnosticsHost* host);  // nullptr restores the host one
};

// Linux: the distribution and kernel, the firmware's product name, the
// processors and memory the kernel reports, and the desktop's file manager
// (through `FileViewer`).
class HostDiagnostics final : public DiagnosticsHost {
public:
    HostDiagnostics() = default;
    explicit HostDiagnostics(const SystemPaths& paths) : paths_(paths) {}

    QString osVersion() const override;
    QString hardwareModel() const override;
    int cores() const override;
    quint64 memoryBytes() const override;
    bool reveal(const QString& diskPath) override;

private:
    std::optional<SystemPaths> paths_;
};

// What the file is made from, taken from the model and the counters.
struct DiagnosticsInputs {
    Grants grants{};
    std::optional<AppModel::TCCRead> tcc{};
    std::optional<AppModel::BTMRead> btm{};
    int launchJobs = 0;
    int launchJobsGone = 0;
    Decision decision{};
    Phase phase = Phase::idle;
    Step step = Step::start;
    int aiConsent = 0;
    QMap<QString, qint64> usage{};

    static DiagnosticsInputs of(const AppModel& model, UsageCounters& counters,
                                const SystemPaths& paths = SystemPaths::current());
};

struct Diagnostics {
    static constexpr int schema = 1;

    // The fourteen members, from the shared model and the usage counters.
    static QJsonObject bundle();
    static QJsonObject bundle(const DiagnosticsInputs& inputs, const DiagnosticsHost& host);

    // "ok", the failure's code, or "not_read" before the first read.
    template <typename T>
    static QString storeWord(const std::optional<Result<T, StoreError>>& read) {
        if (!read)
            return QStringLiteral("not_read");
        return read->ok() ? QStringLiteral("ok") : read->error().code();
    }
    // The case's name as written in code: "idle", "wrongPage", ...
    static QString phaseName(Phase phase);
    // Whole gibibytes, the fraction dropped.
    static qint64 wholeGiB(quint64 bytes);

    // "Rowkeeper Diagnostics 2026-12-05 1641.json" for 5 December 2026, 16:41
    // local time; the `copy`th file of that minute, from 2 on, as a file
    // manager names copies: "Rowkeeper Diagnostics 2026-12-05 1641 2.json".
    static QString fileName(const QDateTime& localTime, int copy = 1);
    // Names tried in one minute before a save gives up.
    static constexpr int maxCopies = 1000;
    // Pretty-printed, keys sorted at every level.
    static QByteArray json(const QJsonObject& object);

    struct Saved {
        QString path;        // on disk
        bool shown = false;  // the file manager took it
    };
    // Writes the file into the person's Desktop folder under the first name of
    // the minute that is free (an earlier file is never replaced, nor a link
    // at its name followed), reveals it and counts "diagnostics.save". A
    // failed write is reported on standard error, not revealed and not
    // counted as a save. Gives where the file went and whether it was shown,
    // or, for the person, why nothing was written (`notSavedLine`).
    static Result<Saved, QString> saveAndReveal();
    static Result<Saved, QString> saveAndReveal(const QJsonObject& object, const QDateTime& localTime,
                                                const SystemPaths& paths, DiagnosticsHost& host,
                                                UsageCounters& counters);
    // What the person is told when the file could not be shown.
    static QString savedLine(const QString& path);
    // What the person is told when nothing could be saved in `folder`, and why.
    static QString notSavedLine(const QString& folder, const QString& reason);
    // The line a save leaves for the person: why it failed, or where the file
    // went when its folder could not be shown; empty when it was shown.
    static QString line(const Result<Saved, QString>& saved);
};

}  // namespace rk
