// The voice lanes on AVX2: four doubles to a register, three registers per group, so that up
// to twelve voices' filter recurrences overlap. Built with -mavx2 and without fused multiply-add;
// called only when the processor has AVX2. Nothing here may be shared with code built for
// other processors, hence the anonymous namespace and no library templates.
#include "voicelanes.h"

#include <immintrin.h>

namespace {

constexpr int32_t kWidth = 4;
constexpr int32_t kChunk = 64;
// Added to a whole number below 2^51 in magnitude, it puts that number's two's complement in
// the low bits of the sum: the table index of the truncated phase, masked as the scalar loop
// masks its 64-bit integer.
constexpr double kIndexBias = 6755399441055744.0; // 1.5 x 2^52

inline __m256i tableIndex(__m256d phase, __m256i tableOffset) {
    const __m256d whole = _mm256_round_pd(phase, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(whole, _mm256_set1_pd(kIndexBias)));
    return _mm256_add_epi64(_mm256_and_si256(bits, _mm256_set1_epi64x(4095)), tableOffset);
}

// out[f] += lane 0, lane 1, ... for each frame, from rows of `stride` lane values per frame.
inline void addLanesInOrder(const float* rows, int32_t frames, int32_t stride, int32_t laneCount,
                            float* out) {
    int32_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        __m128 sum = _mm_loadu_ps(out + f);
        for (int32_t c = 0; c < laneCount; c += 4) {
            __m128 r0 = _mm_load_ps(rows + (f + 0) * stride + c);
            __m128 r1 = _mm_load_ps(rows + (f + 1) * stride + c);
            __m128 r2 = _mm_load_ps(rows + (f + 2) * stride + c);
            __m128 r3 = _mm_load_ps(rows + (f + 3) * stride + c);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            const int32_t left = laneCount - c;
            sum = _mm_add_ps(sum, r0);
            if (left > 1) sum = _mm_add_ps(sum, r1);
            if (left > 2) sum = _mm_add_ps(sum, r2);
            if (left > 3) sum = _mm_add_ps(sum, r3);
        }
        _mm_storeu_ps(out + f, sum);
    }
    for (; f < frames; ++f) {
        float sum = out[f];
        for (int32_t k = 0; k < laneCount; ++k)
            sum += rows[f * stride + k];
        out[f] = sum;
    }
}

inline void storeActive(double* target, const __m256d* values, int32_t count, uint32_t active) {
    alignas(32) double lanes[VoiceLanes::kMaxLanes];
    for (int32_t v = 0; v * kWidth < count; ++v)
        _mm256_store_pd(lanes + v * kWidth, values[v]);
    for (int32_t k = 0; k < count; ++k)
        if (active & (1u << k)) target[k] = lanes[k];
}

template <int V, bool kVibrato, bool kMasked>
void renderGroup(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t active, float* left,
                 float* right) {
    constexpr int32_t kStride = V * kWidth;
    const float* const tables = lanes.tables;
    const float* const envelopes = lanes.envelopes;
    const __m128 quarter = _mm_set1_ps(0.25f);
    const __m128 negativeZero = _mm_set1_ps(-0.0f);
    const __m128i one = _mm_set1_epi32(1);

    __m256d p1[V], p2[V], lp[V], inc1[V], inc2[V], lfoInc[V], mod[V], q[V], gl[V], gr[V];
    __m256d s1[V], s2[V], in[V], hp[V];
    __m256i offset[V], lfoOffset[V];
    __m128 base[V], keep[V];
    __m128i filterAt[V], amplitudeAt[V];
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) {
        const int32_t k = v * kWidth;
        p1[v] = _mm256_load_pd(lanes.phase1 + k);
        p2[v] = _mm256_load_pd(lanes.phase2 + k);
        lp[v] = _mm256_load_pd(lanes.lfoPhase + k);
        inc1[v] = _mm256_load_pd(lanes.increment1 + k);
        inc2[v] = _mm256_load_pd(lanes.increment2 + k);
        lfoInc[v] = _mm256_load_pd(lanes.lfoIncrement + k);
        mod[v] = _mm256_load_pd(lanes.modulation + k);
        q[v] = _mm256_load_pd(lanes.feedback + k);
        gl[v] = _mm256_load_pd(lanes.gainLeft + k);
        gr[v] = _mm256_load_pd(lanes.gainRight + k);
        s1[v] = _mm256_load_pd(lanes.s1 + k);
        s2[v] = _mm256_load_pd(lanes.s2 + k);
        in[v] = _mm256_load_pd(lanes.input + k);
        hp[v] = _mm256_load_pd(lanes.highPass + k);
        offset[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.tableOffset + k));
        lfoOffset[v] =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.lfoTableOffset + k));
        base[v] = _mm_load_ps(lanes.base + k);
        filterAt[v] = _mm_add_epi32(
            _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.envelopeOffset + k)),
            _mm_set1_epi32(from));
        amplitudeAt[v] = _mm_add_epi32(filterAt[v], _mm_set1_epi32(lanes.amplitudeDistance));
        const __m128i bit = _mm_setr_epi32(1, 2, 4, 8);
        keep[v] = _mm_castsi128_ps(_mm_cmpeq_epi32(
            _mm_and_si128(_mm_set1_epi32(static_cast<int32_t>(active >> k)), bit), bit));
    }

    alignas(32) float rowsLeft[kChunk * kStride];
    alignas(32) float rowsRight[kChunk * kStride];
    for (int32_t start = from; start < to; start += kChunk) {
        const int32_t frames = to - start < kChunk ? to - start : kChunk;
        for (int32_t j = 0; j < frames; ++j) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                const __m128 a = _mm256_i64gather_ps(tables, tableIndex(p1[v], offset[v]), 4);
                const __m128 b = _mm256_i64gather_ps(tables, tableIndex(p2[v], offset[v]), 4);
                if constexpr (kVibrato) {
                    const __m128 vibrato =
                        _mm256_i64gather_ps(tables, tableIndex(lp[v], lfoOffset[v]), 4);
                    const __m256d m = _mm256_cvtps_pd(
                        _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(vibrato), mod[v])));
                    p1[v] = _mm256_add_pd(p1[v], _mm256_add_pd(m, inc1[v]));
                    p2[v] = _mm256_add_pd(p2[v], _mm256_add_pd(m, inc2[v]));
                } else {
                    p1[v] = _mm256_add_pd(p1[v], inc1[v]);
                    p2[v] = _mm256_add_pd(p2[v], inc2[v]);
                }
                lp[v] = _mm256_add_pd(lp[v], lfoInc[v]);

                const __m256d x = _mm256_cvtps_pd(_mm_add_ps(a, b));
                in[v] = _mm256_sub_pd(x, s1[v]);
                hp[v] = _mm256_sub_pd(_mm256_mul_pd(in[v], q[v]), s2[v]);
                const __m128 envelope = _mm_i32gather_ps(envelopes, filterAt[v], 4);
                const __m256d g =
                    _mm256_cvtps_pd(_mm_mul_ps(quarter, _mm_add_ps(base[v], envelope)));
                s1[v] = _mm256_add_pd(s1[v], _mm256_mul_pd(g, hp[v]));
                s2[v] = _mm256_add_pd(s2[v], _mm256_mul_pd(g, s1[v]));

                const __m256d amplitude =
                    _mm256_cvtps_pd(_mm_i32gather_ps(envelopes, amplitudeAt[v], 4));
                const __m256d level = _mm256_mul_pd(amplitude, s2[v]);
                __m128 l = _mm256_cvtpd_ps(_mm256_mul_pd(level, gl[v]));
                __m128 r = _mm256_cvtpd_ps(_mm256_mul_pd(level, gr[v]));
                if constexpr (kMasked) {
                    // -0 is the one value whose addition leaves every sum as it is.
                    l = _mm_blendv_ps(negativeZero, l, keep[v]);
                    r = _mm_blendv_ps(negativeZero, r, keep[v]);
                }
                _mm_store_ps(rowsLeft + j * kStride + v * kWidth, l);
                _mm_store_ps(rowsRight + j * kStride + v * kWidth, r);
                filterAt[v] = _mm_add_epi32(filterAt[v], one);
                amplitudeAt[v] = _mm_add_epi32(amplitudeAt[v], one);
            }
        }
        addLanesInOrder(rowsLeft, frames, kStride, lanes.laneCount, left + start);
        addLanesInOrder(rowsRight, frames, kStride, lanes.laneCount, right + start);
    }

    const int32_t count = lanes.laneCount;
    storeActive(lanes.phase1, p1, count, active);
    storeActive(lanes.phase2, p2, count, active);
    storeActive(lanes.lfoPhase, lp, count, active);
    storeActive(lanes.s1, s1, count, active);
    storeActive(lanes.s2, s2, count, active);
    storeActive(lanes.input, in, count, active);
    storeActive(lanes.highPass, hp, count, active);
}

template <int V>
void renderVectors(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t active, float* left,
                   float* right) {
    const uint32_t all = (1u << lanes.laneCount) - 1;
    const bool masked = (active & all) != all;
    if (lanes.vibrato)
        masked ? renderGroup<V, true, true>(lanes, from, to, active, left, right)
               : renderGroup<V, true, false>(lanes, from, to, active, left, right);
    else
        masked ? renderGroup<V, false, true>(lanes, from, to, active, left, right)
               : renderGroup<V, false, false>(lanes, from, to, active, left, right);
}

} // namespace

void renderVoiceLanesAvx2(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t activeLanes,
                          float* left, float* right) {
    if (from >= to || lanes.laneCount <= 0) return;
    if (lanes.laneCount <= kWidth)
        renderVectors<1>(lanes, from, to, activeLanes, left, right);
    else if (lanes.laneCount <= 2 * kWidth)
        renderVectors<2>(lanes, from, to, activeLanes, left, right);
    else
        renderVectors<3>(lanes, from, to, activeLanes, left, right);
}
