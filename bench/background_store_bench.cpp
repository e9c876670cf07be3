// Reading the background-task store: BackgroundStore::parse (property-list
// parse, conversion and reference resolution) beside a bare libplist parse
// of the same bytes. The model reads the store every 3 seconds on the main
// thread; the target is parse + resolve within 1.5 times the bare parse.
// "ratio" in the Ratio rows is that quotient, measured side by side.

#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <chrono>

#include "finder/BackgroundStore.h"
#include "support/KeyedArchiveWriter.h"

namespace {

using namespace rk;

// A store like a busy Mac's: three users, apps, agents and daemons with every
// optional field, urls as archived NSURLs.
QByteArray storeWith(int records) {
    const QStringList users{"FFFFEEEE-DDDD-CCCC-BBBB-AAAA000001F5", "FFFFEEEE-DDDD-CCCC-BBBB-AAAA000001F6",
                            "00000000-0000-0000-0000-000000000000"};
    QList<test::ArchivedUser> byUser;
    for (const QString& user : users)
        byUser.append({user, {}});
    for (int i = 0; i < records; ++i) {
        test::ArchivedItem item;
        const QString vendor = QStringLiteral("vendor%1").arg(i % 97);
        const QString product = QStringLiteral("Product %1").arg(i);
        item.name = product;
        item.type = (i % 3 == 0) ? 2 : (i % 3 == 1 ? 8 : 16);
        item.disposition = (i % 5 == 0) ? 2 : 3;
        item.url = (i % 3 == 0)
                       ? "/Applications/" + product + ".app"
                       : "/Library/LaunchAgents/com." + vendor + ".helper" + QString::number(i) + ".plist";
        item.identifier = QStringLiteral("%1.com.%2.helper%3").arg(item.type).arg(vendor).arg(i);
        item.bundleIdentifier = "com." + vendor + ".product" + QString::number(i);
        item.teamIdentifier = QStringLiteral("TEAM%1").arg(i % 97, 6, 10, QLatin1Char('0'));
        item.developerName = "Vendor " + QString::number(i % 97) + " Ltd";
        item.executablePath = "/Applications/" + product + ".app/Contents/MacOS/" + product;
        byUser[i % users.size()].items.append(item);
    }
    return test::KeyedArchiveWriter::store(byUser);
}

const QByteArray& store(int records) {
    static const QByteArray small = storeWith(300);
    static const QByteArray large = storeWith(10'000);
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

// Both parses in each iteration, so the quotient is not skewed by drift
// between separately run benchmarks.
void BM_Ratio(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const QByteArray& bytes = store(int(state.range(0)));
    Clock::duration bare{}, full{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        bareParse(bytes);
        const auto t1 = Clock::now();
        auto records = BackgroundStore::parse(bytes);
        benchmark::DoNotOptimize(records);
        const auto t2 = Clock::now();
        bare += t1 - t0;
        full += t2 - t1;
    }
    state.counters["ratio"] = double(full.count()) / double(std::max<Clock::rep>(1, bare.count()));
}

BENCHMARK(BM_BareLibplist)->Arg(300)->Arg(10'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreParse)->Arg(300)->Arg(10'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ratio)->Arg(300)->Arg(10'000)->Unit(benchmark::kMicrosecond);

}  // namespace
