// Reading the background-task store: BackgroundStore::parse (the binary
// reader's checks of the whole list, reference resolution and the records
// built from it) beside a bare libplist parse of the same bytes. The model
// reads the store every 3 seconds on the main thread; the target is parse +
// resolve within 1.5 times the bare parse. The quotient is printed after the
// table.

#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "BusyStore.h"
#include "finder/BackgroundStore.h"

namespace {

using namespace rk;

const QByteArray& store(int records) {
    static const QByteArray small = bench::busyStore(300);
    static const QByteArray large = bench::busyStore(10'000);
    return records == 300 ? small : large;
}

void bareParse(const QByteArray& bytes) {
    plist_t root = nullptr;
    plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &root);
    benchmark::DoNotOptimize(root);
    plist_free(root);
}

void BM_BareLibplist(benchmark::State& state) {
    const QByteArray& bytes = store(int(state.range(0)));
    for (auto _ : state)
        bareParse(bytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["kB"] = double(bytes.size()) / 1024.0;
}

void BM_StoreParse(benchmark::State& state) {
    const QByteArray& bytes = store(int(state.range(0)));
    if (BackgroundStore::parse(bytes)->size() != state.range(0))
        state.SkipWithError("wrong record count");
    for (auto _ : state) {
        auto records = BackgroundStore::parse(bytes);
        benchmark::DoNotOptimize(records);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

BENCHMARK(BM_BareLibplist)->Arg(300)->Arg(10'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreParse)->Arg(300)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// Prints, after the table, each store size's quotient of the two: the best
// time of BackgroundStore::parse over the best time of the bare parse.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.benchmark_name();
            const double time = run.GetAdjustedRealTime();
            auto [it, inserted] = best_.emplace(name, time);
            if (!inserted)
                it->second = std::min(it->second, time);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* records : {"300", "10000"}) {
            const auto bare = best_.find(std::string("BM_BareLibplist/") + records);
            const auto full = best_.find(std::string("BM_StoreParse/") + records);
            if (bare == best_.end() || full == best_.end() || bare->second <= 0)
                continue;
            std::printf("ratio parse+resolve / bare parse, %s records: %.2f (target <= 1.5)\n", records,
                        full->second / bare->second);
        }
    }

private:
    std::map<std::string, double> best_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
