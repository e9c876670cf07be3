#pragma once
// The rules for restarting the app when a fresh copy of it holds a grant that
// this process does not see, and the record of recent automatic restarts
// ("stale-grant-restarts.json", beside the permission record) that keeps a
// grant which never takes effect from restarting the app over and over.

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QStringList>
#include <optional>

#include "permissions/Permission.h"
#include "platform/SystemPaths.h"

namespace rk {

struct KTStaleGrantRestarts {
    static constexpr int budget = 2;              // automatic restarts allowed ...
    static constexpr qint64 windowSeconds = 600;  // ... within this many seconds

    static std::optional<QString> file(const QString& slug,
                                       const SystemPaths& paths = SystemPaths::current());
    // Times of earlier restarts; an unreadable record reads as none, and an
    // entry that is not a time QDateTime can hold is skipped.
    static QList<QDateTime> read(const QString& slug, const SystemPaths& paths = SystemPaths::current());
    // The same from the record's bytes.
    static QList<QDateTime> timesFrom(const QByteArray& record);
    // Adds `now`, keeps only the times that still count, writes atomically.
    static bool record(const QString& slug, const QDateTime& now,
                       const SystemPaths& paths = SystemPaths::current());

    // Whether a restart at `time` counts against the budget at `now`: it lies
    // within the window before `now`, or at most one window after it (the
    // clock was set back a little, which must not free the budget). A time
    // further ahead is a wrong clock or a damaged record; counting it would
    // switch automatic restarts off for good, so it is dropped.
    static bool counts(const QDateTime& time, const QDateTime& now);
    // How many of `times` count at `now`.
    static int recentCount(const QList<QDateTime>& times, const QDateTime& now);

    // The fresh copy answered, there is something outstanding, the budget is
    // not spent and the copy holds every outstanding permission.
    static bool freshCopyHolds(const QStringList& outstanding, const std::optional<KTGrantMap>& fresh,
                               int recentRestarts);
    // Every outstanding permission is declared, allows an automatic restart
    // and is not among those whose earlier restart did not hold.
    static bool restartAllowed(const QStringList& outstanding, const QList<KTPermission>& permissions,
                               const QSet<QString>& didNotHold);

    // Checks the rules above on fixed cases; prints one line; true when all hold.
    static bool selftest();
};

}  // namespace rk
