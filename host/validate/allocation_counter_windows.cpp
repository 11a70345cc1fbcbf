// Windows: a plug-in calls the C runtime's allocator through its own import table, which the
// executable cannot interpose as the Linux dynamic linker lets it; nothing is counted.
#include "allocation_counter.h"

bool allocation_counter::available() {
    return false;
}

const char* allocation_counter::unavailableReason() {
    return "allocations are counted on Linux only";
}

allocation_counter::Armed::Armed() {}

allocation_counter::Armed::~Armed() {}

int64_t allocation_counter::allocations() {
    return 0;
}

int64_t allocation_counter::releases() {
    return 0;
}
