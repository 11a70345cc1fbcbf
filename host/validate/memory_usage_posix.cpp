// Linux: heap use from the sanitizer's allocator or glibc's mallinfo2, resident size from
// /proc/self/statm.
#include "memory_usage.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#if defined(QXA_SANITIZED)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

MemoryUsage currentMemoryUsage() {
    MemoryUsage usage;
#if defined(QXA_SANITIZED)
    usage.heapBytes = static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    usage.heapBytes = static_cast<int64_t>(info.uordblks + info.hblkhd);
    usage.residentIsMeaningful = true;
#endif
    if (std::FILE* file = std::fopen("/proc/self/statm", "r")) {
        long totalPages = 0;
        long residentPages = 0;
        if (std::fscanf(file, "%ld %ld", &totalPages, &residentPages) == 2)
            usage.residentBytes = static_cast<int64_t>(residentPages) * sysconf(_SC_PAGESIZE);
        std::fclose(file);
    }
    return usage;
}
