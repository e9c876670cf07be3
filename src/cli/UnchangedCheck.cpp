#include "cli/UnchangedCheck.h"

#include <QHash>
#include <algorithm>

#include "cli/Probe.h"
#include "finder/Decide.h"
#include "finder/SettingsDriver.h"
#include "platform/Accessibility.h"
#include "platform/Text.h"
#include "platform/ToolOutput.h"

namespace rk {

namespace {

void say(const QString& line) {
    printLine(stdout, line);
}

QStringList sorted(QStringList keys) {
    std::sort(keys.begin(), keys.end(), Text::less);
    return keys;
}

// Each key of `from` once per occurrence beyond those in `than`.
QStringList extra(const QStringList& from, const QStringList& than) {
    QHash<QString, int> left;
    for (const QString& key : than)
        ++left[key];
    QStringList out;
    for (const QString& key : from) {
        if (auto found = left.find(key); found != left.end() && *found > 0)
            --*found;
        else
            out << key;
    }
    return out;
}

// The rows to select: the selectable rows marked for removal, in mark
// order, then every selectable row, in row order (a row marked for removal
// stands twice), at most twelve.
QList<PaneRow> targets(const Decision& decision, const SettingsSnapshot& snap) {
    QList<PaneRow> rows;
    for (const Mark& mark : decision.marks) {
        if (mark.kind == Mark::Kind::remove && mark.row.selectable)
            rows << mark.row;
    }
    for (const PaneRow& row : snap.rows) {
        if (row.selectable)
            rows << row;
    }
    return rows.mid(0, UnchangedCheck::maxSelectionsPerPage);
}

// Opens the page, selects its targets and says how many held; -1 when the
// page's window was not reached.
int exercise(Pane pane, const Pump& pump) {
    SettingsDriver::open(pane);
    pump(UnchangedCheck::pageWait);
    const std::optional<SettingsSnapshot> snap = SettingsDriver::snapshot(pane);
    if (!snap || snap->windowTitle != windowTitle(pane)) {
        say(rawValue(pane) + QStringLiteral(": window not reached"));
        return -1;
    }
    const Decision decision = Decide::page(Probe::candidates(pane), snap->rows, snap->below);
    int held = 0;
    for (const PaneRow& row : targets(decision, *snap)) {
        if (SettingsDriver::select(row, *snap))
            ++held;
        pump(UnchangedCheck::selectionWait);
    }
    say(rawValue(pane) +
        QStringLiteral(": %1 rows read, %2 selections made and read back").arg(snap->rows.size()).arg(held));
    return held;
}

}  // namespace

QString UnchangedCheck::key(const TCCRow& row) {
    return TCCRow::rawValue(row.db) + QLatin1Char('|') + row.service + QLatin1Char('|') + row.client +
           QLatin1Char('|') + QString::number(row.authValue);
}

QString UnchangedCheck::key(const BTMRecord& record) {
    return record.user + QLatin1Char('|') + record.identifier.value_or(record.name) + QLatin1Char('|') +
           QString::number(record.disposition);
}

std::optional<UnchangedCheck::State> UnchangedCheck::state() {
    const auto tcc = TCCStore::read();
    if (!tcc)
        return std::nullopt;
    const auto btm = BackgroundStore::read();
    if (!btm)
        return std::nullopt;
    State state;
    for (const TCCRow& row : tcc.value())
        state.tcc << key(row);
    for (const BTMRecord& record : btm->records)
        state.btm << key(record);
    state.tcc = sorted(state.tcc);
    state.btm = sorted(state.btm);
    return state;
}

QStringList UnchangedCheck::changedKeys(const State& before, const State& after) {
    return sorted(extra(before.tcc, after.tcc) + extra(after.tcc, before.tcc) + extra(before.btm, after.btm) +
                  extra(after.btm, before.btm));
}

int UnchangedCheck::run(const Pump& wait) {
    if (!Accessibility::current().isProcessTrusted()) {
        say(QStringLiteral("NOT MEASURED: Accessibility is off"));
        return notMeasuredStatus;
    }
    const std::optional<State> before = state();
    if (!before) {
        say(QStringLiteral("NOT MEASURED: Full Disk Access is off (stores unreadable)"));
        return notMeasuredStatus;
    }
    say(QStringLiteral("before: %1 privacy rows, %2 login item records")
            .arg(before->tcc.size())
            .arg(before->btm.size()));

    int selections = 0;
    for (Pane pane : allPanes())
        selections += std::max(exercise(pane, wait), 0);
    wait(endWait);

    const std::optional<State> after = state();
    if (!after) {
        say(QStringLiteral("NOT MEASURED: stores unreadable afterwards"));
        return notMeasuredStatus;
    }
    if (selections == 0) {
        say(QStringLiteral("NOT MEASURED: no selection was made, so nothing was exercised"));
        return notMeasuredStatus;
    }
    if (*before == *after) {
        say(QStringLiteral("PASS: %1 selections, zero changes to %2 privacy rows and %3 login item records")
                .arg(selections)
                .arg(after->tcc.size())
                .arg(after->btm.size()));
        return passStatus;
    }
    say(QStringLiteral("FAIL: settings changed during the run"));
    for (const QString& key : changedKeys(*before, *after))
        say(QStringLiteral("  ") + key);
    say(
        QStringLiteral("note: a change by macOS or another app during the run also shows here; re-run before "
                       "concluding"));
    return failStatus;
}

void UnchangedCheck::pump(double seconds) {
    runEventLoop(seconds);
}

}  // namespace rk
