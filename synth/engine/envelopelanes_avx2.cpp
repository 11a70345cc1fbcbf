// Built with -mavx2 and without fused multiply-add, like the voice lanes; nothing here is
// shared with code built for other processors.
#include "envelopelanes.h"

#include <immintrin.h>

namespace {

inline __m256d firstPositions(int32_t first) {
    const double p = first;
    return _mm256_setr_pd(p, p + 1.0, p + 2.0, p + 3.0);
}

inline __m128i entries(__m256d position, __m256d step) {
    // Truncation to 32 bits, as the scalar loop converts.
    return _mm256_cvttpd_epi32(_mm256_mul_pd(position, step));
}

// The curve loops run in two steps over runs of up to kRun frames: first every frame's table
// entry into memory, then the reads. On the processors measured (AMD Zen 4) that is several
// times faster than the gather instruction or moving lanes to integer registers one at a time,
// and than reading each entry right after storing it (the load must wait for the store).
constexpr int32_t kRun = 256;

// The entries of `count` frames (a multiple of four) from position `first`.
inline void storeEntries(int32_t* at, int32_t first, int32_t count, double step) {
    const __m256d steps = _mm256_set1_pd(step);
    __m256d position = firstPositions(first);
    for (int32_t k = 0; k < count; k += 4) {
        _mm_store_si128(reinterpret_cast<__m128i*>(at + k), entries(position, steps));
        position = _mm256_add_pd(position, _mm256_set1_pd(4.0));
    }
}

inline __m256d readFour(const double* table, const int32_t* at) {
    const __m128d low = _mm_loadh_pd(_mm_load_sd(table + at[0]), table + at[1]);
    const __m128d high = _mm_loadh_pd(_mm_load_sd(table + at[2]), table + at[3]);
    return _mm256_set_m128d(high, low);
}

} // namespace

void writeAttackAvx2(float* out, const float* table, int32_t first, int32_t count, double step,
                     float level) {
    const __m128 levels = _mm_set1_ps(level);
    alignas(16) int32_t at[kRun];
    int32_t n = 0;
    while (count - n >= 4) {
        const int32_t run = (count - n < kRun ? count - n : kRun) & ~3;
        storeEntries(at, first + n, run, step);
        for (int32_t k = 0; k < run; k += 4) {
            const int32_t* e = at + k;
            const __m128 values = _mm_setr_ps(table[e[0]], table[e[1]], table[e[2]], table[e[3]]);
            _mm_storeu_ps(out + n + k, _mm_mul_ps(values, levels));
        }
        n += run;
    }
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0)
        out[n] = table[static_cast<int32_t>(p * step)] * level;
}

void writeDecayAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                    double sustain, double depth, float level) {
    const __m256d depths = _mm256_set1_pd(depth);
    const __m256d sustains = _mm256_set1_pd(sustain);
    const __m128 levels = _mm_set1_ps(level);
    alignas(16) int32_t at[kRun];
    int32_t n = 0;
    while (count - n >= 4) {
        const int32_t run = (count - n < kRun ? count - n : kRun) & ~3;
        storeEntries(at, first + n, run, step);
        for (int32_t k = 0; k < run; k += 4) {
            const __m256d decayed =
                _mm256_add_pd(_mm256_mul_pd(readFour(fall, at + k), depths), sustains);
            _mm_storeu_ps(out + n + k, _mm_mul_ps(_mm256_cvtpd_ps(decayed), levels));
        }
        n += run;
    }
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0) {
        const double value = fall[static_cast<int32_t>(p * step)] * depth + sustain;
        out[n] = static_cast<float>(value) * level;
    }
}

float writeReleaseAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                       double startLevel, float level) {
    const __m256d starts = _mm256_set1_pd(startLevel);
    const __m128 levels = _mm_set1_ps(level);
    __m128 last = _mm_setzero_ps();
    alignas(16) int32_t at[kRun];
    int32_t n = 0;
    while (count - n >= 4) {
        const int32_t run = (count - n < kRun ? count - n : kRun) & ~3;
        storeEntries(at, first + n, run, step);
        for (int32_t k = 0; k < run; k += 4) {
            last = _mm256_cvtpd_ps(_mm256_mul_pd(readFour(fall, at + k), starts));
            _mm_storeu_ps(out + n + k, _mm_mul_ps(last, levels));
        }
        n += run;
    }
    float value = _mm_cvtss_f32(_mm_shuffle_ps(last, last, _MM_SHUFFLE(3, 3, 3, 3)));
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0) {
        value = static_cast<float>(fall[static_cast<int32_t>(p * step)] * startLevel);
        out[n] = value * level;
    }
    return value;
}
