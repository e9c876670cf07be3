#pragma once
// The growth of a process's peak resident set over a stretch of work, for the
// store benchmark's two sides. Free heap pages are handed back first and the
// kernel's peak is reset to what is resident now (Linux's clear_refs), so the
// work is charged for every page it touches and for nothing before it.

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rk::bench {

// One "Vm...:" field of /proc/self/status, in KiB; -1 when unreadable.
inline long statusKiB(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            value = std::atol(line + length + 1);
    std::fclose(status);
    return value;
}

// Starts a measurement: the resident set now, or -1 when the peak cannot be reset.
inline long startPeak() {
    malloc_trim(0);
    std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs)
        return -1;
    const bool reset = std::fputs("5", refs) >= 0;
    if (std::fclose(refs) != 0 || !reset)
        return -1;
    return statusKiB("VmRSS");
}

// KiB the peak resident set grew since `start`; -1 when not measured.
inline long peakGrowth(long start) {
    const long peak = statusKiB("VmHWM");
    return start < 0 || peak < 0 ? -1 : peak - start;
}

}  // namespace rk::bench
