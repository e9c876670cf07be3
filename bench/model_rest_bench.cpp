// The application model at rest: the Login Items page is showing and nothing
// changes on the Mac. One iteration is six beats of the scan loop half a
// second apart on a clock that stands still otherwise, so it stands for three
// seconds of the app's life, which holds one store read. "core%" is the share
// of one core those three seconds cost. The target with the 4 MB store of
// 10,000 records is at most 0.2%.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QStandardPaths>
#include <ctime>
#include <functional>
#include <memory>

#include "BusyStore.h"
#include "app/model/AppModel.h"
#include "finder/BackgroundStore.h"
#include "finder/TCCStore.h"
#include "support/FakeClock.h"
#include "support/TccDbWriter.h"
#include "support/TempRoot.h"

namespace {

using namespace rk;

class HandTicks final : public TickSource {
public:
    std::unique_ptr<Ticker> every(double, std::function<void()> beat) override {
        beat_ = std::move(beat);
        return std::make_unique<Ticker>();
    }
    void fire() { beat_(); }

private:
    std::function<void()> beat_;
};

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void BM_ModelAtRest(benchmark::State& state) {
    test::TempRoot root;
    test::TccDbWriter::write(root.disk(TCCStore::systemPath()), test::TccDbWriter::sampleRows());
    test::TccDbWriter::write(root.disk(TCCStore::userPath()), test::TccDbWriter::sampleRows());
    const QByteArray store = bench::busyStore(int(state.range(0)), root.home());
    root.writeFile(BackgroundStore::folder() + "/BackgroundItems-v4.btm", store);
    root.makeFolder(root.paths().userLaunchAgents());

    test::FakeClock clock;
    HandTicks ticks;
    ModelSeams seams;
    seams.clock = &clock;
    seams.ticks = &ticks;
    seams.defaultsFile = root.root() + "/defaults.ini";
    seams.hostName = QStringLiteral("Anna's Mac");
    seams.dark = [] { return false; };
    seams.placeWindow = [] {};
    AppModel model(seams);
    model.start();
    model.go(Step::loginItems);
    ticks.fire();
    if (!model.btm() || !model.btm()->ok())
        state.SkipWithError("the store was not read");

    double cpu = 0;
    for (auto _ : state) {
        const double before = cpuSeconds();
        for (int beat = 0; beat < 6; ++beat) {
            clock.advance(AppModel::tickSeconds);
            ticks.fire();
        }
        cpu += cpuSeconds() - before;
    }
    state.counters["MB"] = double(store.size()) / 1e6;
    state.counters["candidates"] = double(model.candidates().size());
    // The process's CPU time per iteration over the three seconds it stands for.
    state.counters["core%"] = 100.0 * cpu / double(state.iterations()) / 3.0;
}

BENCHMARK(BM_ModelAtRest)->Arg(300)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
