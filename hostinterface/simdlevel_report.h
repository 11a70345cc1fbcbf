// The benchmarks' answer to --simd-levels: the vector levels this processor runs, lowest first,
// then the one the engines pick. The bench scripts run every listed level through QXA_SIMD.
#pragma once

#include "simdlevel.h"

#include <cstdio>

inline int printSimdLevels() {
    for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2})
        if (static_cast<int32_t>(level) <= static_cast<int32_t>(detectedSimdLevel()))
            std::printf("%s ", simdLevelName(level));
    std::printf("\npicked %s\n", simdLevelName(activeSimdLevel()));
    return 0;
}
