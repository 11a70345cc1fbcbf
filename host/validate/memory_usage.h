// How much memory the process uses, for the leak tests of the instantiation and editor checks.
#pragma once

#include <cstdint>

struct MemoryUsage {
    // Bytes the allocator has handed out and not yet taken back; -1 where unknown.
    int64_t heapBytes = -1;
    // Resident set size; -1 where unknown.
    int64_t residentBytes = -1;
    // Whether resident size tells of leaks: sanitizers keep freed memory in quarantine.
    bool residentIsMeaningful = false;
};

MemoryUsage currentMemoryUsage();
