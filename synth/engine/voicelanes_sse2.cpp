// The voice lanes on SSE2, which every x86-64 processor has: two doubles to a register, up to
// four registers per group. Built with the baseline flags and without fused multiply-add. The
// table reads convert each lane's phase as the scalar loop does (a 64-bit truncation).
#include "voicelanes.h"

#include <emmintrin.h>

namespace {

constexpr int32_t kWidth = 2;
constexpr int32_t kChunk = 64;

inline int64_t entry(__m128d phase, int lane) {
    const __m128d value = lane == 0 ? phase : _mm_unpackhi_pd(phase, phase);
    return _mm_cvttsd_si64(value) & 4095;
}

// Two lanes' table entries, in the low half of the result.
inline __m128 readTables(const float* tables, __m128d phase, const int64_t* offset) {
    return _mm_unpacklo_ps(_mm_load_ss(tables + offset[0] + entry(phase, 0)),
                           _mm_load_ss(tables + offset[1] + entry(phase, 1)));
}

inline __m128 readPair(const float* values, int32_t first, int32_t second) {
    return _mm_unpacklo_ps(_mm_load_ss(values + first), _mm_load_ss(values + second));
}

// out[f] += lane 0, lane 1, ... for each frame, from rows of `stride` lane values per frame.
inline void addLanesInOrder(const float* rows, int32_t frames, int32_t stride, int32_t laneCount,
                            uint32_t active, float* out) {
    int32_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        __m128 sum = _mm_loadu_ps(out + f);
        for (int32_t c = 0; c < laneCount; c += 4) {
            __m128 r0 = _mm_load_ps(rows + (f + 0) * stride + c);
            __m128 r1 = _mm_load_ps(rows + (f + 1) * stride + c);
            __m128 r2 = _mm_load_ps(rows + (f + 2) * stride + c);
            __m128 r3 = _mm_load_ps(rows + (f + 3) * stride + c);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            const uint32_t lanes = active >> c;
            if (lanes & 1) sum = _mm_add_ps(sum, r0);
            if (lanes & 2) sum = _mm_add_ps(sum, r1);
            if (lanes & 4) sum = _mm_add_ps(sum, r2);
            if (lanes & 8) sum = _mm_add_ps(sum, r3);
        }
        _mm_storeu_ps(out + f, sum);
    }
    for (; f < frames; ++f) {
        float sum = out[f];
        for (int32_t k = 0; k < laneCount; ++k)
            if (active & (1u << k)) sum += rows[f * stride + k];
        out[f] = sum;
    }
}

inline void copyActive(double* target, const double* values, int32_t count, uint32_t active) {
    for (int32_t k = 0; k < count; ++k)
        if (active & (1u << k)) target[k] = values[k];
}

template <int V, bool kVibrato>
void renderGroup(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t active, float* left,
                 float* right) {
    // Rows hold whole groups of four lanes for the transposing sum.
    constexpr int32_t kStride = (V * kWidth + 3) / 4 * 4;
    const float* const tables = lanes.tables;
    const float* const envelopes = lanes.envelopes;
    const int32_t distance = lanes.amplitudeDistance;
    const __m128 quarter = _mm_set1_ps(0.25f);

    __m128d p1[V], p2[V], lp[V], inc1[V], inc2[V], lfoInc[V], mod[V], q[V], gl[V], gr[V];
    __m128d s1[V], s2[V], in[V], hp[V];
    __m128 base[V];
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) {
        const int32_t k = v * kWidth;
        p1[v] = _mm_load_pd(lanes.phase1 + k);
        p2[v] = _mm_load_pd(lanes.phase2 + k);
        lp[v] = _mm_load_pd(lanes.lfoPhase + k);
        inc1[v] = _mm_load_pd(lanes.increment1 + k);
        inc2[v] = _mm_load_pd(lanes.increment2 + k);
        lfoInc[v] = _mm_load_pd(lanes.lfoIncrement + k);
        mod[v] = _mm_load_pd(lanes.modulation + k);
        q[v] = _mm_load_pd(lanes.feedback + k);
        gl[v] = _mm_load_pd(lanes.gainLeft + k);
        gr[v] = _mm_load_pd(lanes.gainRight + k);
        s1[v] = _mm_load_pd(lanes.s1 + k);
        s2[v] = _mm_load_pd(lanes.s2 + k);
        in[v] = _mm_load_pd(lanes.input + k);
        hp[v] = _mm_load_pd(lanes.highPass + k);
        base[v] = readPair(lanes.base, k, k + 1);
    }

    alignas(16) float rowsLeft[kChunk * kStride] = {};
    alignas(16) float rowsRight[kChunk * kStride] = {};
    for (int32_t start = from; start < to; start += kChunk) {
        const int32_t frames = to - start < kChunk ? to - start : kChunk;
        for (int32_t j = 0; j < frames; ++j) {
            const int32_t frame = start + j;
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                const int32_t k = v * kWidth;
                const __m128 a = readTables(tables, p1[v], lanes.tableOffset + k);
                const __m128 b = readTables(tables, p2[v], lanes.tableOffset + k);
                if constexpr (kVibrato) {
                    const __m128 vibrato = readTables(tables, lp[v], lanes.lfoTableOffset + k);
                    const __m128d m =
                        _mm_cvtps_pd(_mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(vibrato), mod[v])));
                    p1[v] = _mm_add_pd(p1[v], _mm_add_pd(m, inc1[v]));
                    p2[v] = _mm_add_pd(p2[v], _mm_add_pd(m, inc2[v]));
                } else {
                    p1[v] = _mm_add_pd(p1[v], inc1[v]);
                    p2[v] = _mm_add_pd(p2[v], inc2[v]);
                }
                lp[v] = _mm_add_pd(lp[v], lfoInc[v]);

                const __m128d x = _mm_cvtps_pd(_mm_add_ps(a, b));
                in[v] = _mm_sub_pd(x, s1[v]);
                hp[v] = _mm_sub_pd(_mm_mul_pd(in[v], q[v]), s2[v]);
                const int32_t at0 = lanes.envelopeOffset[k] + frame;
                const int32_t at1 = lanes.envelopeOffset[k + 1] + frame;
                const __m128 envelope = readPair(envelopes, at0, at1);
                const __m128d g = _mm_cvtps_pd(_mm_mul_ps(quarter, _mm_add_ps(base[v], envelope)));
                s1[v] = _mm_add_pd(s1[v], _mm_mul_pd(g, hp[v]));
                s2[v] = _mm_add_pd(s2[v], _mm_mul_pd(g, s1[v]));

                const __m128d amplitude =
                    _mm_cvtps_pd(readPair(envelopes, at0 + distance, at1 + distance));
                const __m128d level = _mm_mul_pd(amplitude, s2[v]);
                __m128 l = _mm_cvtpd_ps(_mm_mul_pd(level, gl[v]));
                __m128 r = _mm_cvtpd_ps(_mm_mul_pd(level, gr[v]));
                _mm_storel_pi(reinterpret_cast<__m64*>(rowsLeft + j * kStride + k), l);
                _mm_storel_pi(reinterpret_cast<__m64*>(rowsRight + j * kStride + k), r);
            }
        }
        addLanesInOrder(rowsLeft, frames, kStride, lanes.laneCount, active, left + start);
        addLanesInOrder(rowsRight, frames, kStride, lanes.laneCount, active, right + start);
    }

    // Each register array is written out by value, so that none of them has its address taken
    // and all stay in registers through the loop.
    const int32_t count = lanes.laneCount;
    alignas(32) double values[7][VoiceLanes::kMaxLanes];
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) {
        _mm_store_pd(values[0] + v * kWidth, p1[v]);
        _mm_store_pd(values[1] + v * kWidth, p2[v]);
        _mm_store_pd(values[2] + v * kWidth, lp[v]);
        _mm_store_pd(values[3] + v * kWidth, s1[v]);
        _mm_store_pd(values[4] + v * kWidth, s2[v]);
        _mm_store_pd(values[5] + v * kWidth, in[v]);
        _mm_store_pd(values[6] + v * kWidth, hp[v]);
    }
    double* const targets[7] = {lanes.phase1, lanes.phase2, lanes.lfoPhase, lanes.s1,
                                lanes.s2,     lanes.input,  lanes.highPass};
    for (int32_t i = 0; i < 7; ++i)
        copyActive(targets[i], values[i], count, active);
}

template <int V>
void renderVectors(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t active, float* left,
                   float* right) {
    if (lanes.vibrato)
        renderGroup<V, true>(lanes, from, to, active, left, right);
    else
        renderGroup<V, false>(lanes, from, to, active, left, right);
}

} // namespace

void renderVoiceLanesSse2(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t activeLanes,
                          float* left, float* right) {
    if (from >= to || lanes.laneCount <= 0) return;
    if (lanes.laneCount <= kWidth)
        renderVectors<1>(lanes, from, to, activeLanes, left, right);
    else if (lanes.laneCount <= 2 * kWidth)
        renderVectors<2>(lanes, from, to, activeLanes, left, right);
    else if (lanes.laneCount <= 3 * kWidth)
        renderVectors<3>(lanes, from, to, activeLanes, left, right);
    else
        renderVectors<4>(lanes, from, to, activeLanes, left, right);
}
