// Windows: the working set as the resident size; the heap is not measured. PSAPI version 2 takes
// the counters from KERNEL32, so qxahost needs no further system library.
#define PSAPI_VERSION 2
#include "memory_usage.h"

#include <windows.h>

#include <psapi.h>

MemoryUsage currentMemoryUsage() {
    MemoryUsage usage;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        usage.residentBytes = static_cast<int64_t>(counters.WorkingSetSize);
        usage.residentIsMeaningful = true;
    }
    return usage;
}
