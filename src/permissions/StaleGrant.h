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
    // Times of earlier restarts; an unreadable record reads as none.
    static QList<QDateTime> read(const QString& slug, const SystemPaths& paths = SystemPaths::current());
    // Adds `now`, drops times older than the window, writes atomically.
    static bool record(const QString& slug, const QDateTime& now,
                       const SystemPaths& paths = SystemPaths::current());

    // Restarts within the window before `now`. A time in the future (the
    // clock was set back) still counts, so a clock change cannot free the budget.
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
