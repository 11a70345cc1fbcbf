#include "simdlevel.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

SimdLevel probeProcessor() {
#if defined(__x86_64__) || defined(_M_X64)
    __builtin_cpu_init();
    // The compiler's check includes the operating system's support for the wide registers.
    if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
    return SimdLevel::Sse2; // part of every x86-64 processor
#else
    return SimdLevel::Scalar;
#endif
}

SimdLevel capped(SimdLevel level) {
    const SimdLevel best = detectedSimdLevel();
    return static_cast<int32_t>(level) < static_cast<int32_t>(best) ? level : best;
}

SimdLevel levelFromEnvironment() {
    const char* text = std::getenv("QXA_SIMD");
    if (text) {
        for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2})
            if (std::strcmp(text, simdLevelName(level)) == 0) return capped(level);
    }
    return detectedSimdLevel();
}

std::atomic<int32_t>& activeLevel() {
    static std::atomic<int32_t> level{static_cast<int32_t>(levelFromEnvironment())};
    return level;
}

} // namespace

SimdLevel detectedSimdLevel() {
    static const SimdLevel detected = probeProcessor();
    return detected;
}

SimdLevel activeSimdLevel() {
    return static_cast<SimdLevel>(activeLevel().load(std::memory_order_relaxed));
}

SimdLevel forceSimdLevel(SimdLevel level) {
    return static_cast<SimdLevel>(
        activeLevel().exchange(static_cast<int32_t>(capped(level)), std::memory_order_relaxed));
}

const char* simdLevelName(SimdLevel level) {
    switch (level) {
    case SimdLevel::Scalar:
        return "scalar";
    case SimdLevel::Sse2:
        return "sse2";
    case SimdLevel::Avx2:
        return "avx2";
    }
    return "scalar";
}
