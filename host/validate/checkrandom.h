// CheckRandom: the checks' only source of chance. Its own conversions from the 64-bit engine,
// so a seed gives the same values on every platform and standard library.
#pragma once

#include <cstdint>
#include <random>

class CheckRandom {
public:
    explicit CheckRandom(uint64_t seed) : engine_(seed) {}

    uint64_t next() { return engine_(); }
    // 0 <= value < 1, with 24 bits: every value is exact as a float.
    float unit() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }
    // -1 <= value < 1.
    float bipolar() { return unit() * 2.0f - 1.0f; }
    // 0 <= value < count (count > 0).
    int32_t below(int32_t count) {
        return static_cast<int32_t>((next() >> 33) % static_cast<uint64_t>(count));
    }
    // low <= value <= high.
    int32_t between(int32_t low, int32_t high) { return low + below(high - low + 1); }
    // True with the given chance (0..1).
    bool chance(float probability) { return unit() < probability; }

private:
    std::mt19937_64 engine_;
};
