#include "tools/process.h"

#include <chrono>
#include <thread>

// Before windows.h: the memory counters from kernel32 itself, without psapi.dll.
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>

double process_peak_megabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// Windows has no alarm signal: a thread waits out the limit and stops the process from there, as the
// signal would from the middle of the search.
void process_time_limit(long seconds, void (*stop)()) {
    std::thread([seconds, stop] {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        stop();
    }).detach();
}

void process_cuts_hold() {}
void process_cuts_release() {}
