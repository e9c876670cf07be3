// Reading the background-task store: BackgroundStore::parse (checks, the
// archive's references resolved, the records built) against libplist's
// plist_from_bin alone (the tree only, nothing resolved), on the same files.
//
// The stores are written by bench/write_store.py with Python's plistlib, a
// writer independent of the program, in the shape of the system's store, at
// 300, 10,000 and 50,000 records. Each side runs in a fresh process of its
// own (this program with --side for ours, bare_plist_parse for libplist's),
// the two alternating round by round, so both meet the same load. Per side
// and size it prints the median and best parse time, the time to free the
// result (apart), and the growth of the peak resident set over one parse
// while its result is held (bench/PeakMemory.h, in the side's own process).
// The ratio is the median over rounds of (our median / bare median) within
// a round. The goal: at most 1.0 times the bare parse at 10,000 records and
// more, at most 1.5 times at 300, and no more extra memory than twice the
// file's size.
//
//   background_store_bench [--rounds N | --instructions | --hostile]
//
// --instructions counts instead, under valgrind's callgrind, the
// instructions of one parse on each side (steadier than time on a busy
// machine). --hostile reads the stores of bench/hostile_stores.py, made to
// cost the reader the most, and prints what each cost.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

#include "PeakMemory.h"
#include "finder/BackgroundStore.h"

namespace {

using namespace rk;

long long nanosSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// Out of line, for callgrind's --toggle-collect.
[[gnu::noinline]] Result<QList<BTMRecord>, StoreError> measuredParse(const QByteArray& bytes) {
    return BackgroundStore::parse(bytes);
}

// Our side, in its own process: the same output as bare_plist_parse, and
// the number of records read ("records N") or why the store was refused
// ("refused TEXT").
int side(const QString& path, int repetitions) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    measuredParse(bytes);  // what a first call sets up once is not the parse's
    const long start = bench::startPeak();
    auto first = measuredParse(bytes);
    const long growth = bench::peakGrowth(start);
    if (first)
        std::printf("records %lld\n", (long long)first->size());
    else
        std::printf("refused %s\n", qPrintable(first.error().description()));
    std::printf("memory %ld\n", growth);
    first = QList<BTMRecord>();
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        auto records = measuredParse(bytes);
        const long long parse = nanosSince(start);
        const auto freeing = std::chrono::steady_clock::now();
        records = QList<BTMRecord>();
        std::printf("%lld %lld\n", parse, nanosSince(freeing));
    }
    return 0;
}

struct Figures {
    std::vector<double> parse;   // ms
    std::vector<double> free;    // ms
    std::vector<double> memory;  // MiB
    long long records = -1;
    QByteArray refused;  // why our side refused the store
    bool failed = false;
};

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double best(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// Runs one side's process and adds what it printed to `into`.
void run(const QString& program, const QStringList& arguments, Figures& into) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(600'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        into.failed = true;
        return;
    }
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("refused "))
            into.refused = line.mid(8);
        const QList<QByteArray> words = line.split(' ');
        if (words.size() != 2)
            continue;
        if (words[0] == "memory")
            into.memory.push_back(words[1].toDouble() / 1024.0);
        else if (words[0] == "records")
            into.records = words[1].toLongLong();
        else {
            into.parse.push_back(words[0].toDouble() / 1e6);
            into.free.push_back(words[1].toDouble() / 1e6);
        }
    }
}

// The instructions of the measured parse of one side's process under callgrind.
std::optional<double> instructions(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start("valgrind", QStringList{"--tool=callgrind", "--callgrind-out-file=/dev/null",
                                          "--toggle-collect=*measuredParse*", program} +
                                  arguments);
    if (!process.waitForFinished(1'800'000) || process.exitCode() != 0)
        return std::nullopt;
    const auto match = QRegularExpression("Collected : (\\d+)").match(process.readAllStandardError());
    return match.hasMatch() ? std::optional<double>(match.captured(1).toDouble()) : std::nullopt;
}

// Our side on the stores of bench/hostile_stores.py: what each costs.
int hostile(const QString& python, const QString& self) {
    QTemporaryDir folder;
    if (!folder.isValid() ||
        QProcess::execute(
            python, {QStringLiteral(ROWKEEPER_BENCH_SOURCE) + "/hostile_stores.py", folder.path()}) != 0)
        return 1;
    std::printf("%-32s %8s  %-36s %10s %12s\n", "hostile store", "MB", "outcome", "parse ms", "peak extra");
    for (const QFileInfo& file : QDir(folder.path()).entryInfoList({"*.btm"}, QDir::Files, QDir::Name)) {
        Figures figures;
        run(self, {"--side", file.filePath(), "1"}, figures);
        if (figures.failed)
            return 1;
        const QByteArray outcome =
            figures.refused.isEmpty() ? QByteArray::number(figures.records) + " records" : figures.refused;
        std::printf("%-32s %8.2f  %-36s %10.1f %8.1f MiB\n", qPrintable(file.completeBaseName()),
                    file.size() / 1e6, outcome.constData(), median(figures.parse), median(figures.memory));
    }
    return 0;
}

struct Size {
    int records;
    int repetitions;  // per process: a few tenths of a second each
    double goal;      // at most this times the bare parse
};
const Size kSizes[] = {{300, 200, 1.5}, {10'000, 15, 1.0}, {50'000, 4, 1.0}};

// Instructions per parse: each side parses twice (a first call, then the
// measured one) with no repetitions.
void countInstructions(const QString& self, const QString& bare, std::map<int, QString>& files) {
    std::printf("\n%8s %8s %16s %16s %7s\n", "records", "MB", "ours (instr.)", "bare (instr.)", "ratio");
    for (const Size& size : kSizes) {
        const QString path = files[size.records];
        const auto ours = instructions(self, {"--side", path, "0"});
        const auto theirs = instructions(bare, {path, "0"});
        if (!ours || !theirs) {
            std::printf("%8d  not measured (valgrind missing or a side failed)\n", size.records);
            continue;
        }
        std::printf("%8d %8.2f %16.0f %16.0f %7.2f\n", size.records, QFileInfo(path).size() / 1e6, *ours / 2,
                    *theirs / 2, *ours / *theirs);
    }
}

void timeBoth(int rounds, const QString& self, const QString& bare, std::map<int, QString>& files) {
    std::map<int, Figures> ours, theirs;
    std::map<int, std::vector<double>> ratios;  // per round
    for (int round = 0; round < rounds; ++round) {
        for (const Size& size : kSizes) {
            const QString path = files[size.records];
            const QString repetitions = QString::number(size.repetitions);
            Figures mine, bareRound;
            // Alternate which side goes first.
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn + round) % 2 == 0)
                    run(self, {"--side", path, repetitions}, mine);
                else
                    run(bare, {path, repetitions}, bareRound);
            }
            if (mine.failed || bareRound.failed)
                return;
            ratios[size.records].push_back(median(mine.parse) / median(bareRound.parse));
            for (auto [from, to] :
                 {std::pair(&mine, &ours[size.records]), std::pair(&bareRound, &theirs[size.records])}) {
                to->parse.insert(to->parse.end(), from->parse.begin(), from->parse.end());
                to->free.insert(to->free.end(), from->free.begin(), from->free.end());
                to->memory.insert(to->memory.end(), from->memory.begin(), from->memory.end());
                to->records = from->records;
            }
        }
    }

    std::printf("%d rounds; times in ms (median / best), peak extra in MiB (and times the file's size)\n\n",
                rounds);
    std::printf("%8s %6s | %-23s %7s %12s | %-23s %7s %13s | %6s %6s\n", "records", "MB",
                "ours: parse+resolve", "free", "peak extra", "bare plist_from_bin", "free", "peak extra",
                "ratio", "best");
    bool allMet = true;
    for (const Size& size : kSizes) {
        const Figures& a = ours[size.records];
        const Figures& b = theirs[size.records];
        const double fileMiB = QFileInfo(files[size.records]).size() / 1048576.0;
        const double ratio = median(ratios[size.records]);
        std::printf(
            "%8d %6.2f | %9.3f / %9.3f  %7.3f %5.1f (%.2fx) | %9.3f / %9.3f  %7.3f %6.1f (%.2fx) | %6.2f "
            "%6.2f\n",
            size.records, fileMiB * 1.048576, median(a.parse), best(a.parse), median(a.free),
            median(a.memory), median(a.memory) / fileMiB, median(b.parse), best(b.parse), median(b.free),
            median(b.memory), median(b.memory) / fileMiB, ratio, best(a.parse) / best(b.parse));
        const bool timeMet = ratio <= size.goal;
        const bool memoryMet = !a.memory.empty() && median(a.memory) >= 0 && median(a.memory) <= 2 * fileMiB;
        const bool read = a.records == size.records;
        allMet = allMet && timeMet && memoryMet && read;
        std::printf("  %d records: time <= %.1fx bare: %s; peak extra <= 2x file: %s%s\n", size.records,
                    size.goal, timeMet ? "met" : "NOT met", memoryMet ? "met" : "NOT met",
                    read ? "" : qPrintable(QString("; ours read %1 records").arg(a.records)));
    }
    std::printf("\n%s\n", allMet ? "goal met at every size" : "goal NOT met");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--side")
        return side(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    QCoreApplication app(argc, argv);
    enum class Mode { time, instructions, hostile } mode = Mode::time;
    int rounds = 10;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--rounds" && i + 1 < arguments.size()) {
            rounds = std::max(1, arguments[++i].toInt());
        } else if (arguments[i] == "--instructions") {
            mode = Mode::instructions;
        } else if (arguments[i] == "--hostile") {
            mode = Mode::hostile;
        } else {
            std::fprintf(stderr, "usage: background_store_bench [--rounds N | --instructions | --hostile]\n");
            return 2;
        }
    }
    const QString bare = QStringLiteral(ROWKEEPER_BARE_PARSE);
    const QString self = QCoreApplication::applicationFilePath();
    const QString python = QStandardPaths::findExecutable("python3");
    QTemporaryDir folder;
    if (python.isEmpty() || !folder.isValid()) {
        std::fprintf(stderr, "needs python3 and a temporary folder\n");
        return 1;
    }
    if (mode == Mode::hostile)
        return hostile(python, self);

    std::printf("stores written by bench/write_store.py (Python plistlib)\n");
    std::map<int, QString> files;
    for (const Size& size : kSizes) {
        const QString path = folder.filePath(QString("store-%1.btm").arg(size.records));
        if (QProcess::execute(python, {QStringLiteral(ROWKEEPER_BENCH_SOURCE) + "/write_store.py",
                                       QString::number(size.records), path}) != 0)
            return 1;
        files[size.records] = path;
    }
    if (mode == Mode::instructions)
        countInstructions(self, bare, files);
    else
        timeBoth(rounds, self, bare, files);
    return 0;
}
