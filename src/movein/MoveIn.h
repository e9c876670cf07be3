#pragma once
// The Move-In checklist: reading the list and the person's marks, looking at
// this Mac for each row's evidence, and judging each row from that evidence.
//
// Judging (`state`, `evaluate`, `label`) is pure: it looks only at a row and
// an `Env`. `liveEnv` fills an `Env` from this Mac; its probes read files,
// the privacy database and the output of two tools, and may block for
// seconds, so callers with a window run it off the main thread.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

#include "finder/StoreError.h"
#include "finder/TCCStore.h"
#include "movein/DeviceMove.h"
#include "movein/MoveInList.h"
#include "movein/Reconnect.h"
#include "platform/Clock.h"
#include "platform/Machine.h"
#include "platform/Result.h"
#include "platform/SystemPaths.h"

namespace rk {

struct MoveIn {
    // Row ids the person opened (pressed the row's button) and confirmed.
    struct Marks {
        QSet<QString> opened{};
        QSet<QString> done{};
        friend bool operator==(const Marks&, const Marks&) = default;
    };

    // What a check may look at. The default is inert: nothing read, nothing
    // installed, present or running, no dates, no tool output, no marks.
    struct Env {
        std::optional<Result<QList<TCCRow>, StoreError>> tcc{};
        std::function<bool(const QString& bundle)> installed = [](const QString&) { return false; };
        std::function<bool(const QString& path)> exists = [](const QString&) { return false; };
        std::function<std::optional<QDateTime>(const QString& path)> newest =
            [](const QString&) -> std::optional<QDateTime> { return std::nullopt; };
        std::function<bool(const QString& process)> running = [](const QString&) { return false; };
        std::function<std::optional<QString>(const QString& command)> command =
            [](const QString&) -> std::optional<QString> { return std::nullopt; };
        std::optional<QDateTime> since{};
        Marks marks{};
    };

    struct State {
        enum class Kind { green, opened, needs, cannotCheck };
        Kind kind = Kind::needs;
        std::optional<QString> text{};    // green, cannotCheck: always; needs: maybe
        std::optional<QDateTime> date{};  // opened

        static State green(QString text) { return {Kind::green, std::move(text), std::nullopt}; }
        static State opened(QDateTime date) { return {Kind::opened, std::nullopt, std::move(date)}; }
        static State needs(std::optional<QString> text = std::nullopt) {
            return {Kind::needs, std::move(text), std::nullopt};
        }
        static State cannotCheck(QString text) { return {Kind::cannotCheck, std::move(text), std::nullopt}; }

        bool isGreen() const { return kind == Kind::green; }
        friend bool operator==(const State&, const State&) = default;
    };

    // A tool to run: its program (a path on disk) and arguments.
    struct Program {
        QString path{};
        QStringList arguments{};
        friend bool operator==(const Program&, const Program&) = default;
    };

    // Tool outputs by command name, so that checks refreshed every few
    // seconds run each tool at most once per `maxAge`. Safe from any thread.
    class CommandCache {
    public:
        static constexpr std::chrono::seconds maxAge{30};
        struct Entry {
            Clock::Time taken{};
            std::optional<QString> output{};
        };
        // The entry for `name` when it is younger than maxAge at `now`.
        std::optional<Entry> fresh(const QString& name, Clock::Time now) const;
        void store(const QString& name, Entry entry);
        void clear();

    private:
        mutable QMutex mutex_;
        QHash<QString, Entry> entries_;
    };

    static constexpr std::chrono::seconds commandLimit{8};
    // How many entries `newest` reads per folder, and how deep it looks.
    static constexpr int newestMaxEntries = 400;
    static constexpr int newestMaxDepth = 3;

    // Files. The app's Application Support folder; the checklist, read only;
    // the person's marks. Each takes the folder so tests can use their own.
    static QString supportFolder();
    static QString listURL(const QString& folder = supportFolder());
    static QString marksURL(const QString& folder = supportFolder());

    // The checklist. Missing or broken data gives an empty list, never a failure.
    static MoveInList loadList(const std::optional<QByteArray>& data);
    // The checklist in `data`, or in words why it is none: not JSON, no list
    // of rows, or rows none of which has an id and a title. An empty list
    // of rows is a checklist.
    static Result<MoveInList, QString> parseList(const QByteArray& data);
    // Why the file at a checklist's path gives no list.
    struct ListProblem {
        bool missing = false;  // nothing at the path; else `reason` says what is wrong
        QString reason{};
        friend bool operator==(const ListProblem&, const ListProblem&) = default;
    };
    static Result<MoveInList, ListProblem> readList(const QString& path);
    static QList<MoveInSpec> loadSpecs(const std::optional<QByteArray>& data);
    // The whole file, or none when it cannot be read.
    static std::optional<QByteArray> readFile(const QString& path);

    // The marks. A missing or broken file reads as no marks.
    static Marks loadMarks(const QString& path = marksURL());
    static Marks marksFrom(const QByteArray& data);
    static QByteArray marksData(const Marks& marks);
    // Written atomically: a failed write leaves the previous file whole.
    static Result<Unit, QString> saveMarks(const Marks& marks, const QString& path = marksURL());

    // Judging a row.
    static State state(const MoveInSpec& spec, const Env& env);
    static KTReconnectStatus evaluate(const MoveInSpec& spec, const Env& env);
    // The row's button title.
    static QString label(const MoveInSpec& spec, const Env& env);
    // "today at 14:05", or "Mar 4 at 14:05".
    static QString timeLine(const QDateTime& when, const QDateTime& now = QDateTime::currentDateTime());

    // Looking at this Mac.
    static Env liveEnv(const MoveInSpec& spec, const std::optional<QDateTime>& since,
                       const SystemPaths& paths = SystemPaths::current(),
                       const QString& marksPath = marksURL());
    // The newest modification time at `diskPath` or below it. Symbolic links
    // are neither followed nor counted (a path that is a link gives none),
    // "Keychains" folders are skipped, and the walk stops at newestMaxDepth
    // levels and newestMaxEntries entries per folder.
    static std::optional<QDateTime> newest(const QString& diskPath);

    // The tools: "codesign" and "codex-login" name one; anything else none.
    // Codex is looked for in its usual places, then along `searchPath` (the
    // folders of a PATH value, as logical paths).
    static std::optional<Program> program(const QString& command,
                                          const SystemPaths& paths = SystemPaths::current(),
                                          const QString& searchPath = qEnvironmentVariable("PATH"));
    // Runs a tool for at most commandLimit; its output (both channels), or
    // none when it did not start or did not finish in time.
    static std::optional<QString> run(const Program& program, Machine& machine = Machine::current());
    static CommandCache& commandCache();
    // A command's output, from the cache when young enough, else by running it.
    static std::optional<QString> command(const QString& name,
                                          const SystemPaths& paths = SystemPaths::current(),
                                          Machine& machine = Machine::current(),
                                          Clock& clock = Clock::current());

    // Whether this Mac differs from the one recorded last time (and from
    // which), saving this Mac as the new record. See KTDeviceMove.
    using Move = KTDeviceMove::Answer;
    static Move detectMove();
};

}  // namespace rk
