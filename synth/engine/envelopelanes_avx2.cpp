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

// Four table entries by four loads. The entries go through memory: on the processors measured
// (AMD Zen 4) the gather instruction, and moving lanes to integer registers one at a time, both
// take longer than a store and four loads.
inline __m256d gather(const double* table, __m128i entries) {
    alignas(16) int32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), entries);
    const __m128d low = _mm_loadh_pd(_mm_load_sd(table + at[0]), table + at[1]);
    const __m128d high = _mm_loadh_pd(_mm_load_sd(table + at[2]), table + at[3]);
    return _mm256_set_m128d(high, low);
}

} // namespace

void writeAttackAvx2(float* out, const float* table, int32_t first, int32_t count, double step,
                     float level) {
    const __m256d steps = _mm256_set1_pd(step);
    const __m128 levels = _mm_set1_ps(level);
    __m256d position = firstPositions(first);
    int32_t n = 0;
    for (; n + 4 <= count; n += 4) {
        alignas(16) int32_t at[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(at), entries(position, steps));
        const __m128 values = _mm_setr_ps(table[at[0]], table[at[1]], table[at[2]], table[at[3]]);
        _mm_storeu_ps(out + n, _mm_mul_ps(values, levels));
        position = _mm256_add_pd(position, _mm256_set1_pd(4.0));
    }
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0)
        out[n] = table[static_cast<int32_t>(p * step)] * level;
}

void writeDecayAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                    double sustain, double depth, float level) {
    const __m256d steps = _mm256_set1_pd(step);
    const __m256d depths = _mm256_set1_pd(depth);
    const __m256d sustains = _mm256_set1_pd(sustain);
    const __m128 levels = _mm_set1_ps(level);
    __m256d position = firstPositions(first);
    int32_t n = 0;
    // Eight frames a turn, then four, then one at a time.
    for (; n + 8 <= count; n += 8) {
        const __m256d later = _mm256_add_pd(position, _mm256_set1_pd(4.0));
        const __m256d decayed =
            _mm256_add_pd(_mm256_mul_pd(gather(fall, entries(position, steps)), depths), sustains);
        const __m256d decayedLater =
            _mm256_add_pd(_mm256_mul_pd(gather(fall, entries(later, steps)), depths), sustains);
        const __m256 values = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(decayed)),
                                                   _mm256_cvtpd_ps(decayedLater), 1);
        _mm256_storeu_ps(out + n, _mm256_mul_ps(values, _mm256_set_m128(levels, levels)));
        position = _mm256_add_pd(position, _mm256_set1_pd(8.0));
    }
    for (; n + 4 <= count; n += 4) {
        const __m256d values = gather(fall, entries(position, steps));
        const __m256d decayed = _mm256_add_pd(_mm256_mul_pd(values, depths), sustains);
        _mm_storeu_ps(out + n, _mm_mul_ps(_mm256_cvtpd_ps(decayed), levels));
        position = _mm256_add_pd(position, _mm256_set1_pd(4.0));
    }
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0) {
        const double value = fall[static_cast<int32_t>(p * step)] * depth + sustain;
        out[n] = static_cast<float>(value) * level;
    }
}

float writeReleaseAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                       double startLevel, float level) {
    const __m256d steps = _mm256_set1_pd(step);
    const __m256d starts = _mm256_set1_pd(startLevel);
    const __m128 levels = _mm_set1_ps(level);
    __m256d position = firstPositions(first);
    __m128 last = _mm_setzero_ps();
    int32_t n = 0;
    // Eight frames a turn, then four, then one at a time.
    for (; n + 8 <= count; n += 8) {
        const __m256d later = _mm256_add_pd(position, _mm256_set1_pd(4.0));
        const __m128 values =
            _mm256_cvtpd_ps(_mm256_mul_pd(gather(fall, entries(position, steps)), starts));
        last = _mm256_cvtpd_ps(_mm256_mul_pd(gather(fall, entries(later, steps)), starts));
        const __m256 both = _mm256_insertf128_ps(_mm256_castps128_ps256(values), last, 1);
        _mm256_storeu_ps(out + n, _mm256_mul_ps(both, _mm256_set_m128(levels, levels)));
        position = _mm256_add_pd(position, _mm256_set1_pd(8.0));
    }
    for (; n + 4 <= count; n += 4) {
        const __m256d values = gather(fall, entries(position, steps));
        last = _mm256_cvtpd_ps(_mm256_mul_pd(values, starts));
        _mm_storeu_ps(out + n, _mm_mul_ps(last, levels));
        position = _mm256_add_pd(position, _mm256_set1_pd(4.0));
    }
    float value = _mm_cvtss_f32(_mm_shuffle_ps(last, last, _MM_SHUFFLE(3, 3, 3, 3)));
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0) {
        value = static_cast<float>(fall[static_cast<int32_t>(p * step)] * startLevel);
        out[n] = value * level;
    }
    return value;
}
