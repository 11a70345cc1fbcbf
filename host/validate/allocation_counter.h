// Counts the allocations and releases a thread makes while it is armed, whoever makes them:
// qxahost itself or a plug-in it loaded. On Linux qxahost interposes the C allocator (which
// operator new calls), or, in sanitizer builds, installs the sanitizer's allocation hooks.
// Elsewhere nothing is counted.
#pragma once

#include <cstdint>

namespace allocation_counter {

// Whether this build counts; call once before arming (it installs the hooks where needed).
bool available();
// Why it does not, when it does not.
const char* unavailableReason();

// Counts on the constructing thread until destroyed. Nesting is allowed. No allocation.
class Armed {
public:
    Armed();
    ~Armed();
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

// Totals over every armed thread since the process started.
int64_t allocations();
int64_t releases();

} // namespace allocation_counter
