// The bare side of the store benchmark: libplist's plist_from_bin on a
// file's bytes, and nothing else: no resolving of the archive, no Qt. It runs
// in a process of its own, started by background_store_bench, so that its
// figures owe nothing to the bench's own allocations.
//
//   bare_plist_parse FILE REPETITIONS
//
// Prints "memory KIB" (the growth of the peak resident set over one parse,
// whose tree is still held; -1 when not measured) and then one line "PARSE_NS FREE_NS" per
// repetition: plist_from_bin and plist_free timed apart.

#include <plist/plist.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "PeakMemory.h"

namespace {

long long nanosSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// Kept out of line: `valgrind --tool=callgrind --toggle-collect=*measuredParse*`
// counts the instructions of the parse alone.
[[gnu::noinline]] plist_t measuredParse(const std::vector<char>& bytes) {
    plist_t root = nullptr;
    plist_from_bin(bytes.data(), uint32_t(bytes.size()), &root);
    return root;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare_plist_parse FILE REPETITIONS\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (!file)
        return 1;
    std::fseek(file, 0, SEEK_END);
    std::vector<char> bytes(size_t(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    const bool read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (!read)
        return 1;

    plist_free(measuredParse(bytes));  // what a first call sets up once is not the parse's
    const long start = rk::bench::startPeak();
    plist_t first = measuredParse(bytes);
    const long growth = rk::bench::peakGrowth(start);
    if (!first) {
        std::fprintf(stderr, "bare_plist_parse: libplist refused %s\n", argv[1]);
        return 1;
    }
    plist_free(first);
    std::printf("memory %ld\n", growth);

    const int repetitions = std::atoi(argv[2]);
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        plist_t root = measuredParse(bytes);
        const long long parse = nanosSince(start);
        const auto freeing = std::chrono::steady_clock::now();
        plist_free(root);
        std::printf("%lld %lld\n", parse, nanosSince(freeing));
    }
    return 0;
}
