// SimdLevel: which vector unit the engines' hot loops run on. The best level the processor
// offers is found once per process; QXA_SIMD=scalar|sse2|avx2 in the environment, or the test
// hook below, chooses a lower one (never a higher one than the processor has). The scalar loops
// are the reference every vector loop matches bit for bit.
//
// Any thread; no allocation, no locks after the first call (which reads the environment).
#pragma once

#include <cstdint>

enum class SimdLevel : int32_t { Scalar = 0, Sse2 = 1, Avx2 = 2 };

// The best level this processor and operating system support.
SimdLevel detectedSimdLevel();
// The level the engines use for their next block.
SimdLevel activeSimdLevel();
// Test hook: forces `level` (capped at detectedSimdLevel) for every engine of the process and
// returns the level that applied before.
SimdLevel forceSimdLevel(SimdLevel level);
// "scalar", "sse2", "avx2".
const char* simdLevelName(SimdLevel level);
