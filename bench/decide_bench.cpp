// Deciding one System Settings page: 500 candidates against 200 rows. The
// scan beat decides on every snapshot, and again on every photo, on the main
// thread, so this must stay far below a millisecond.

#include <benchmark/benchmark.h>

#include "finder/Decide.h"

namespace {

using namespace rk;

QString title(int n) {
    return QStringLiteral("Vendor App %1").arg(n, 3, 10, QLatin1Char('0'));
}

// 200 rows: 150 distinct titles, the first 50 of them shown twice (old and
// new copies side by side), every fourth row with an icon reading.
QList<PaneRow> pageRows() {
    QList<PaneRow> rows;
    for (int i = 0; i < 200; ++i) {
        const int t = i < 150 ? i : i - 150;
        std::optional<bool> blank;
        if (i % 4 == 0)
            blank = (i % 8 == 0);
        rows.append(PaneRow{PaneSection::accessibility, title(t), Rect{300, 200.0 + 30 * i, 480, 28}, i, true,
                            blank});
    }
    return rows;
}

// 500 candidates over 250 names: a third gone, most of the rest live, a few on
// an unplugged drive or part of the system, some looking like test builds.
QList<Candidate> pageCandidates() {
    QList<Candidate> candidates;
    for (int i = 0; i < 500; ++i) {
        const QString key = QStringLiteral("com.vendor.app%1").arg(i);
        Liveness liveness = Liveness::live(QStringLiteral("installed at /Applications/App %1.app").arg(i));
        if (i % 3 == 0)
            liveness = Liveness::gone(QStringLiteral("no installed app answers to ") + key);
        if (i % 17 == 0)
            liveness = Liveness::driveNotConnected(
                QStringLiteral("on the drive \"Backup\", which is not connected"));
        if (i % 29 == 0)
            liveness = Liveness::apple();
        std::optional<QString> why;
        if (i % 40 == 1)
            why = QStringLiteral("a per-run numeric suffix");
        candidates.append(Candidate{key,
                                    {title(i % 250), key, QStringLiteral("app%1").arg(i)},
                                    liveness,
                                    why,
                                    QStringLiteral("app"),
                                    QStringLiteral("The app ") + key + QStringLiteral(".")});
    }
    return candidates;
}

QStringList offscreenTitles() {
    QStringList titles;
    for (int i = 200; i < 220; ++i)
        titles.append(title(i));
    return titles;
}

void BM_DecidePage500x200(benchmark::State& state) {
    const QList<Candidate> candidates = pageCandidates();
    const std::optional<QList<PaneRow>> rows = pageRows();
    const QStringList offscreen = offscreenTitles();
    qsizetype findings = 0;
    for (auto _ : state) {
        const Decision d = Decide::page(candidates, rows, offscreen);
        findings = d.findings.size();
        benchmark::DoNotOptimize(d);
    }
    state.counters["findings"] = double(findings);
}
BENCHMARK(BM_DecidePage500x200)->Unit(benchmark::kMicrosecond);

// Accessibility off: the page is not read, gone records are grouped by name.
void BM_DecideUnreadPage500(benchmark::State& state) {
    const QList<Candidate> candidates = pageCandidates();
    for (auto _ : state)
        benchmark::DoNotOptimize(Decide::page(candidates, std::nullopt, {}));
}
BENCHMARK(BM_DecideUnreadPage500)->Unit(benchmark::kMicrosecond);

}  // namespace
