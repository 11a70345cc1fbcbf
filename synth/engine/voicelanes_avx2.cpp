// The voice lanes on AVX2: four doubles to a register, three registers per group, so that up
// to twelve voices' filter recurrences overlap. Built with -mavx2 and without fused multiply-add;
// called only when the processor has AVX2. Nothing here may be shared with code built for
// other processors, hence the anonymous namespace and no library templates.
#include "voicelanes.h"

#include <immintrin.h>

namespace {

constexpr int32_t kWidth = 4;
// A compile-time choice passed to a generic lambda.
template <bool B>
struct Flag {
    static constexpr bool value = B;
};
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

// Four lanes' table entries. Four loads: the gather instruction reads the same in fewer
// instructions but takes about three times as long on the processors measured (AMD Zen 4).
inline __m128 readTables(const float* tables, __m256i entries) {
    alignas(32) int64_t at[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), entries);
    return _mm_setr_ps(tables[at[0]], tables[at[1]], tables[at[2]], tables[at[3]]);
}

// Two lanes' table entries (the low half of the result), as tableIndex and readTables.
inline __m128 readPairTables(const float* tables, __m128d phase, __m128i tableOffset) {
    const __m128d whole = _mm_round_pd(phase, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m128i bits = _mm_castpd_si128(_mm_add_pd(whole, _mm_set1_pd(kIndexBias)));
    const __m128i entries = _mm_add_epi64(_mm_and_si128(bits, _mm_set1_epi64x(4095)), tableOffset);
    alignas(16) int64_t at[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), entries);
    return _mm_setr_ps(tables[at[0]], tables[at[1]], 0.0f, 0.0f);
}

// Both oscillators' entries for four lanes: the two phases' truncated bits (see tableIndex) as
// 32-bit entries [1 1 1 1 | 2 2 2 2] for lanes [0 1 2 3 | 0 1 2 3], masked and moved to the
// lanes' tables (`pairedOffsets`, in the same order) together.
inline __m256i oscillatorEntries(__m256d phase1, __m256d phase2, __m256i pairedOffsets) {
    const __m256d bias = _mm256_set1_pd(kIndexBias);
    const __m256 bits1 = _mm256_castpd_ps(
        _mm256_add_pd(_mm256_round_pd(phase1, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), bias));
    const __m256 bits2 = _mm256_castpd_ps(
        _mm256_add_pd(_mm256_round_pd(phase2, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), bias));
    const __m256i low = _mm256_castps_si256(_mm256_shuffle_ps(bits1, bits2, 0x88));
    return _mm256_add_epi32(
        _mm256_and_si256(_mm256_permute4x64_epi64(low, 0xD8), _mm256_set1_epi32(4095)),
        pairedOffsets);
}

// The same entries where every phase is known to lie within 32 bits: the conversion truncates
// as the scalar loop's 64-bit one does, in fewer instructions.
inline __m256i narrowOscillatorEntries(__m256d phase1, __m256d phase2, __m256i pairedOffsets) {
    const __m256i whole = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm256_cvttpd_epi32(phase1)), _mm256_cvttpd_epi32(phase2), 1);
    return _mm256_add_epi32(_mm256_and_si256(whole, _mm256_set1_epi32(4095)), pairedOffsets);
}

// The two lanes of a pair, whose phases share one register [1 1 2 2]: entries in the same
// order.
inline __m128i pairEntries(__m256d phases, __m128i pairedOffsets) {
    const __m256d whole = _mm256_round_pd(phases, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(whole, _mm256_set1_pd(kIndexBias)));
    const __m128i low = _mm256_castsi256_si128(
        _mm256_permutevar8x32_epi32(bits, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
    return _mm_add_epi32(_mm_and_si128(low, _mm_set1_epi32(4095)), pairedOffsets);
}

inline __m128i narrowPairEntries(__m256d phases, __m128i pairedOffsets) {
    return _mm_add_epi32(_mm_and_si128(_mm256_cvttpd_epi32(phases), _mm_set1_epi32(4095)),
                         pairedOffsets);
}

inline double larger(double a, double b) {
    return a > b ? a : b;
}

// Whether every lane's phases stay within 32 bits for `frames` frames: each step adds at most
// the increment and the vibrato term, which the modulation bounds; with a wide margin for the
// rounding of the sums.
inline bool phasesStayNarrow(const VoiceLanes& lanes, int32_t frames) {
    double reach = 0.0;
    for (int32_t k = 0; k < lanes.laneCount; ++k) {
        const double step =
            larger(__builtin_fabs(lanes.increment1[k]), __builtin_fabs(lanes.increment2[k])) +
            __builtin_fabs(lanes.modulation[k]) + 1.0;
        const double phase =
            larger(__builtin_fabs(lanes.phase1[k]), __builtin_fabs(lanes.phase2[k]));
        reach = larger(reach, phase + step * frames);
    }
    return reach < 1073741824.0; // 2^30
}

// Both oscillators' samples added, a + b, for every lane of `frames` frames: `entries` holds
// each frame's groups as oscillatorEntries and pairEntries store them, eight entries to a group;
// `sums` gets each frame's lanes in order. Plain loads, one after another: the gather
// instruction and lane extracts cost several times as much on the processors measured (AMD
// Zen 4), so this loop is kept scalar.
template <int V, int P>
__attribute__((optimize("no-tree-vectorize"), always_inline)) inline void
readOscillatorSums(const float* tables, const int32_t* entries, int32_t frames, float* sums) {
    constexpr int32_t kStride = (V + P) * kWidth;
    for (int32_t j = 0; j < frames; ++j) {
        const int32_t* const row = entries + j * kStride * 2;
        float* const out = sums + j * kStride;
        for (int v = 0; v < V + P; ++v) {
            const int32_t* const e = row + v * 8;
            if (v == V) { // the pair: [1 1 2 2]
                out[v * 4] = tables[e[0]] + tables[e[2]];
                out[v * 4 + 1] = tables[e[1]] + tables[e[3]];
                continue;
            }
            for (int32_t l = 0; l < kWidth; ++l)
                out[v * 4 + l] = tables[e[l]] + tables[e[4 + l]];
        }
    }
}

// The filter- and amplitude-envelope values of four lanes for `frames` frames from `start`,
// turned into rows of eight values per frame: the four lanes' filter gains, 0.25f x (base +
// filter value) as the scalar loop computes them, then their amplitude values. Eight frames a
// turn; reads up to seven values past the end, which the store provides.
inline void transposeEnvelopes(const float* envelopes, int32_t amplitudeDistance,
                               const int32_t* offsets, __m128 bases, int32_t start, int32_t frames,
                               float* rows) {
    const float* lane[4];
    for (int32_t k = 0; k < 4; ++k)
        lane[k] = envelopes + offsets[k] + start;
    const __m256 base = _mm256_set_m128(bases, bases);
    const __m256 quarter = _mm256_set1_ps(0.25f);
    // Four registers of eight frames, one per lane, to four of [frame t | frame t + 4].
    const auto transpose = [](__m256& a, __m256& b, __m256& c, __m256& d) {
        const __m256 t0 = _mm256_unpacklo_ps(a, b);
        const __m256 t1 = _mm256_unpackhi_ps(a, b);
        const __m256 t2 = _mm256_unpacklo_ps(c, d);
        const __m256 t3 = _mm256_unpackhi_ps(c, d);
        a = _mm256_shuffle_ps(t0, t2, 0x44);
        b = _mm256_shuffle_ps(t0, t2, 0xEE);
        c = _mm256_shuffle_ps(t1, t3, 0x44);
        d = _mm256_shuffle_ps(t1, t3, 0xEE);
    };
    for (int32_t f = 0; f < frames; f += 8) {
        __m256 g[4], a[4];
        for (int32_t k = 0; k < 4; ++k) {
            g[k] = _mm256_loadu_ps(lane[k] + f);
            a[k] = _mm256_loadu_ps(lane[k] + amplitudeDistance + f);
        }
        transpose(g[0], g[1], g[2], g[3]);
        transpose(a[0], a[1], a[2], a[3]);
        for (int32_t t = 0; t < 4; ++t) {
            const __m256 gains = _mm256_mul_ps(quarter, _mm256_add_ps(base, g[t]));
            _mm256_store_ps(rows + (f + t) * 8, _mm256_permute2f128_ps(gains, a[t], 0x20));
            _mm256_store_ps(rows + (f + t + 4) * 8, _mm256_permute2f128_ps(gains, a[t], 0x31));
        }
    }
}

// left[f] += lane 0, lane 1, ... for each frame, and the same for right[f]. `columns` holds
// four lanes to a column, each column `kChunk` frames of eight values: the four lanes' left
// samples, then their right ones; column V, the pair's when P is 1, holds four values a frame:
// its two lanes' left samples, then their right ones. Four frames at a time: the rows are
// transposed, so that one register adds a lane's four left and four right samples. Unless every
// lane of the group sounds (kAll), the silent lanes add -0.0, which leaves every sum as it is,
// -0.0 and +0.0 included.
template <int V, int P, bool kAll>
void addLanesInOrder(const float* columns, int32_t frames, uint32_t active, float* left,
                     float* right) {
    __m256 keep[V + P];
    for (int c = 0; c < V + P; ++c) {
        const __m128i bits = _mm_and_si128(_mm_set1_epi32(static_cast<int32_t>(active >> (c * 4))),
                                           _mm_setr_epi32(1, 2, 4, 8));
        const __m128 lanes = _mm_castsi128_ps(_mm_cmpeq_epi32(bits, _mm_setzero_si128()));
        keep[c] = _mm256_set_m128(lanes, lanes); // set where the lane is silent
    }
    if constexpr (P == 1) {
        // The pair's rows: lanes [0 1 0 1] of its group.
        const __m256 silent = keep[V];
        keep[V] = _mm256_shuffle_ps(silent, silent, 0x44);
    }
    const __m256 negativeZero = _mm256_set1_ps(-0.0f);
    int32_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        __m256 sum = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(left + f)),
                                          _mm_loadu_ps(right + f), 1);
#pragma GCC unroll 4
        for (int c = 0; c < V; ++c) {
            const float* rows = columns + (c * kChunk + f) * 8;
            const auto row = [&](int32_t i) {
                const __m256 y = _mm256_load_ps(rows + i * 8);
                return kAll ? y : _mm256_blendv_ps(y, negativeZero, keep[c]);
            };
            const __m256 y0 = row(0);
            const __m256 y1 = row(1);
            const __m256 y2 = row(2);
            const __m256 y3 = row(3);
            const __m256 t0 = _mm256_unpacklo_ps(y0, y1);
            const __m256 t2 = _mm256_unpacklo_ps(y2, y3);
            sum = _mm256_add_ps(sum, _mm256_shuffle_ps(t0, t2, 0x44));
            sum = _mm256_add_ps(sum, _mm256_shuffle_ps(t0, t2, 0xEE));
            const __m256 t1 = _mm256_unpackhi_ps(y0, y1);
            const __m256 t3 = _mm256_unpackhi_ps(y2, y3);
            sum = _mm256_add_ps(sum, _mm256_shuffle_ps(t1, t3, 0x44));
            sum = _mm256_add_ps(sum, _mm256_shuffle_ps(t1, t3, 0xEE));
        }
        if constexpr (P == 1) {
            // Frames f, f + 1 and f + 2, f + 3 of [left 0 1 | right 0 1], each to
            // [left f, f + 1 | right f, f + 1 | same for lane 1], then the two lanes' halves.
            const float* rows = columns + V * kChunk * 8 + f * 4;
            __m256 a = _mm256_load_ps(rows);
            __m256 b = _mm256_load_ps(rows + 8);
            if (!kAll) {
                a = _mm256_blendv_ps(a, negativeZero, keep[V]);
                b = _mm256_blendv_ps(b, negativeZero, keep[V]);
            }
            const __m256i order = _mm256_setr_epi32(0, 4, 2, 6, 1, 5, 3, 7);
            const __m256d x = _mm256_castps_pd(_mm256_permutevar8x32_ps(a, order));
            const __m256d y = _mm256_castps_pd(_mm256_permutevar8x32_ps(b, order));
            const __m256d lefts = _mm256_unpacklo_pd(x, y);
            const __m256d rights = _mm256_unpackhi_pd(x, y);
            sum = _mm256_add_ps(sum, _mm256_castpd_ps(_mm256_permute2f128_pd(lefts, rights, 0x20)));
            sum = _mm256_add_ps(sum, _mm256_castpd_ps(_mm256_permute2f128_pd(lefts, rights, 0x31)));
        }
        _mm_storeu_ps(left + f, _mm256_castps256_ps128(sum));
        _mm_storeu_ps(right + f, _mm256_extractf128_ps(sum, 1));
    }
    for (; f < frames; ++f) {
        float sumLeft = left[f];
        float sumRight = right[f];
        for (int32_t k = 0; k < (V + P) * 4; ++k) {
            if (!(active & (1u << k))) continue;
            if (k >= V * 4) { // the pair
                const float* row = columns + V * kChunk * 8 + f * 4 + k % 4;
                sumLeft += row[0];
                sumRight += row[2];
                continue;
            }
            const float* row = columns + ((k / 4) * kChunk + f) * 8 + k % 4;
            sumLeft += row[0];
            sumRight += row[4];
        }
        left[f] = sumLeft;
        right[f] = sumRight;
    }
}

inline void copyActive(double* target, const double* values, int32_t count, uint32_t active) {
    for (int32_t k = 0; k < count; ++k)
        if (active & (1u << k)) target[k] = values[k];
}

// V registers of four lanes, then, with P = 1, one register of two lanes (lanes 4V, 4V + 1),
// so that ten voices fill two and a half registers in one loop.
template <int V, int P, bool kVibrato>
void renderGroup(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t active, float* left,
                 float* right) {
    constexpr int32_t kStride = (V + P) * kWidth;
    constexpr int32_t kPair = V * kWidth; // the pair's first lane
    const float* const tables = lanes.tables;
    const float* const envelopes = lanes.envelopes;

    __m256d p1[V], p2[V], lp[V], inc1[V], inc2[V], lfoInc[V], mod[V], q[V], gl[V], gr[V];
    __m256d s1[V], s2[V], in[V], hp[V];
    __m256i lfoOffset[V], pairedOffset[V];

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
        const __m256 offsets =
            _mm256_load_ps(reinterpret_cast<const float*>(lanes.tableOffset + k));
        pairedOffset[v] = _mm256_permute4x64_epi64(
            _mm256_castps_si256(_mm256_shuffle_ps(offsets, offsets, 0x88)), 0xD8);
        lfoOffset[v] =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.lfoTableOffset + k));
    }
    // The pair's two phases of each oscillator share one register: [1 1 2 2].
    __m256d pp{}, pinc{};
    __m128d plp{}, plfoInc{}, pmod{}, pq{};
    __m128d ps1{}, ps2{}, pin{}, php{};
    __m128i ppairedOffset{}, plfoOffset{};
    __m256d pgains{};
    if constexpr (P == 1) {
        pp = _mm256_set_m128d(_mm_load_pd(lanes.phase2 + kPair), _mm_load_pd(lanes.phase1 + kPair));
        plp = _mm_load_pd(lanes.lfoPhase + kPair);
        pinc = _mm256_set_m128d(_mm_load_pd(lanes.increment2 + kPair),
                                _mm_load_pd(lanes.increment1 + kPair));
        plfoInc = _mm_load_pd(lanes.lfoIncrement + kPair);
        pmod = _mm_load_pd(lanes.modulation + kPair);
        pq = _mm_load_pd(lanes.feedback + kPair);
        ps1 = _mm_load_pd(lanes.s1 + kPair);
        ps2 = _mm_load_pd(lanes.s2 + kPair);
        pin = _mm_load_pd(lanes.input + kPair);
        php = _mm_load_pd(lanes.highPass + kPair);
        const __m128i offsets =
            _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.tableOffset + kPair));
        ppairedOffset = _mm_castps_si128(
            _mm_shuffle_ps(_mm_castsi128_ps(offsets), _mm_castsi128_ps(offsets), 0x88));
        plfoOffset = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.lfoTableOffset + kPair));
        pgains = _mm256_set_m128d(_mm_load_pd(lanes.gainRight + kPair),
                                  _mm_load_pd(lanes.gainLeft + kPair));
    }

    alignas(32) float columns[kChunk * kStride * 2];
    // Per frame, each group's eight entries (the pair's four, then four unused).
    alignas(32) int32_t entries[kChunk * kStride * 2];
    alignas(32) float sums[kChunk * kStride];
    // Each frame's filter outputs, lane by lane.
    alignas(32) double filtered[kChunk * kStride];
    alignas(32) float envelopeRows[kChunk * kStride * 2];
    const bool narrow = phasesStayNarrow(lanes, to - from);
    for (int32_t start = from; start < to; start += kChunk) {
        const int32_t frames = to - start < kChunk ? to - start : kChunk;
        for (int v = 0; v < V + P; ++v) {
            const int32_t* offsets = lanes.envelopeOffset + v * kWidth;
            transposeEnvelopes(envelopes, lanes.amplitudeDistance, offsets,
                               _mm_load_ps(lanes.base + v * kWidth), start, frames,
                               envelopeRows + v * kChunk * 8);
        }
        // First the phases, frame by frame, and the table entries they read.
        const auto advancePhases = [&](auto narrow) {
#pragma GCC unroll 2
            for (int32_t j = 0; j < frames; ++j) {
                int32_t* const rowEntries = entries + j * kStride * 2;
#pragma GCC unroll 4
                for (int v = 0; v < V; ++v) {
                    _mm256_store_si256(reinterpret_cast<__m256i*>(rowEntries + v * 8),
                                       narrow.value
                                           ? narrowOscillatorEntries(p1[v], p2[v], pairedOffset[v])
                                           : oscillatorEntries(p1[v], p2[v], pairedOffset[v]));
                    if constexpr (kVibrato) {
                        const __m128 vibrato = readTables(tables, tableIndex(lp[v], lfoOffset[v]));
                        const __m256d m = _mm256_cvtps_pd(
                            _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(vibrato), mod[v])));
                        p1[v] = _mm256_add_pd(p1[v], _mm256_add_pd(m, inc1[v]));
                        p2[v] = _mm256_add_pd(p2[v], _mm256_add_pd(m, inc2[v]));
                    } else {
                        p1[v] = _mm256_add_pd(p1[v], inc1[v]);
                        p2[v] = _mm256_add_pd(p2[v], inc2[v]);
                    }
                    // Without vibrato the LFO's phase sounds nowhere but still advances.
                    lp[v] = _mm256_add_pd(lp[v], lfoInc[v]);
                }
                if constexpr (P == 1) {
                    _mm_store_si128(reinterpret_cast<__m128i*>(rowEntries + V * 8),
                                    narrow.value ? narrowPairEntries(pp, ppairedOffset)
                                                 : pairEntries(pp, ppairedOffset));
                    if constexpr (kVibrato) {
                        const __m128 vibrato = readPairTables(tables, plp, plfoOffset);
                        const __m128d m =
                            _mm_cvtps_pd(_mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(vibrato), pmod)));
                        pp = _mm256_add_pd(pp, _mm256_add_pd(_mm256_set_m128d(m, m), pinc));
                    } else {
                        pp = _mm256_add_pd(pp, pinc);
                    }
                    plp = _mm_add_pd(plp, plfoInc);
                }
            }
        };
        if (narrow)
            advancePhases(Flag<true>{});
        else
            advancePhases(Flag<false>{});
        // Then the table reads, kLead frames ahead of the filters and in the same loop, so that
        // the loads run while the filters wait on their recurrence; reading an entry only
        // frames after its store also spares the load waiting on the store. Each frame's pans
        // follow kLead frames after its filter, when the output they scale has long been ready,
        // so that they do not wait in line behind the recurrence either.
        constexpr int32_t kLead = 8;
        const auto read = [&](int32_t j) {
            readOscillatorSums<V, P>(tables, entries + j * kStride * 2, 1, sums + j * kStride);
        };
        // A frame's filters; the envelope rows hold their gains.
        const auto filter = [&](int32_t j) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                const __m256d x = _mm256_cvtps_pd(_mm_load_ps(sums + j * kStride + v * kWidth));
                in[v] = _mm256_sub_pd(x, s1[v]);
                hp[v] = _mm256_sub_pd(_mm256_mul_pd(in[v], q[v]), s2[v]);
                const __m256d g = _mm256_cvtps_pd(_mm_load_ps(envelopeRows + (v * kChunk + j) * 8));
                s1[v] = _mm256_add_pd(s1[v], _mm256_mul_pd(g, hp[v]));
                s2[v] = _mm256_add_pd(s2[v], _mm256_mul_pd(g, s1[v]));
                _mm256_store_pd(filtered + j * kStride + v * kWidth, s2[v]);
            }
            if constexpr (P == 1) {
                // The same operations on the pair's two lanes.
                const __m128d x = _mm_cvtps_pd(_mm_load_ps(sums + j * kStride + kPair));
                pin = _mm_sub_pd(x, ps1);
                php = _mm_sub_pd(_mm_mul_pd(pin, pq), ps2);
                const __m128d g = _mm_cvtps_pd(_mm_load_ps(envelopeRows + (V * kChunk + j) * 8));
                ps1 = _mm_add_pd(ps1, _mm_mul_pd(g, php));
                ps2 = _mm_add_pd(ps2, _mm_mul_pd(g, ps1));
                _mm_store_pd(filtered + j * kStride + kPair, ps2);
            }
        };
        // A frame's pans: its amplitude times the filter output, into the columns.
        const auto emit = [&](int32_t j) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                const __m256d amplitude =
                    _mm256_cvtps_pd(_mm_load_ps(envelopeRows + (v * kChunk + j) * 8 + 4));
                const __m256d level =
                    _mm256_mul_pd(amplitude, _mm256_load_pd(filtered + j * kStride + v * kWidth));
                __m128 l = _mm256_cvtpd_ps(_mm256_mul_pd(level, gl[v]));
                __m128 r = _mm256_cvtpd_ps(_mm256_mul_pd(level, gr[v]));
                _mm256_store_ps(columns + (v * kChunk + j) * 8, _mm256_set_m128(r, l));
            }
            if constexpr (P == 1) {
                const __m128d amplitude =
                    _mm_cvtps_pd(_mm_load_ps(envelopeRows + (V * kChunk + j) * 8 + 4));
                const __m128d level =
                    _mm_mul_pd(amplitude, _mm_load_pd(filtered + j * kStride + kPair));
                // Both lanes' left and right gains in one register: [left 0 1 | right 0 1].
                const __m256d both = _mm256_mul_pd(_mm256_set_m128d(level, level), pgains);
                _mm_store_ps(columns + V * kChunk * 8 + j * 4, _mm256_cvtpd_ps(both));
            }
        };
        // The loop split where reads stop and pans start, so that no turn tests for either.
        readOscillatorSums<V, P>(tables, entries, frames < kLead ? frames : kLead, sums);
        const int32_t readEnd = frames - kLead;
        int32_t j = 0;
        for (; j < kLead && j < readEnd; ++j) {
            read(j + kLead);
            filter(j);
        }
#pragma GCC unroll 4
        for (; j < readEnd; ++j) {
            read(j + kLead);
            filter(j);
            emit(j - kLead);
        }
        for (; j < kLead && j < frames; ++j)
            filter(j);
        for (; j < frames; ++j) {
            filter(j);
            emit(j - kLead);
        }
        for (j = frames > kLead ? frames - kLead : 0; j < frames; ++j)
            emit(j);
        constexpr uint32_t kAllLanes = (1u << (V * kWidth + 2 * P)) - 1;
        if (active == kAllLanes)
            addLanesInOrder<V, P, true>(columns, frames, active, left + start, right + start);
        else
            addLanesInOrder<V, P, false>(columns, frames, active, left + start, right + start);
    }

    // Each register array is written out by value, so that none of them has its address taken
    // and all stay in registers through the loop.
    const int32_t count = lanes.laneCount;
    alignas(32) double values[7][VoiceLanes::kMaxLanes];
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) {
        _mm256_store_pd(values[0] + v * kWidth, p1[v]);
        _mm256_store_pd(values[1] + v * kWidth, p2[v]);
        _mm256_store_pd(values[2] + v * kWidth, lp[v]);
        _mm256_store_pd(values[3] + v * kWidth, s1[v]);
        _mm256_store_pd(values[4] + v * kWidth, s2[v]);
        _mm256_store_pd(values[5] + v * kWidth, in[v]);
        _mm256_store_pd(values[6] + v * kWidth, hp[v]);
    }
    if constexpr (P == 1) {
        _mm_store_pd(values[0] + kPair, _mm256_castpd256_pd128(pp));
        _mm_store_pd(values[1] + kPair, _mm256_extractf128_pd(pp, 1));
        _mm_store_pd(values[2] + kPair, plp);
        _mm_store_pd(values[3] + kPair, ps1);
        _mm_store_pd(values[4] + kPair, ps2);
        _mm_store_pd(values[5] + kPair, pin);
        _mm_store_pd(values[6] + kPair, php);
    }
    double* const targets[7] = {lanes.phase1, lanes.phase2, lanes.lfoPhase, lanes.s1,
                                lanes.s2,     lanes.input,  lanes.highPass};
    for (int32_t i = 0; i < 7; ++i)
        copyActive(targets[i], values[i], count, active);
}

template <int V, int P>
void renderVectors(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t active, float* left,
                   float* right) {
    if (lanes.vibrato)
        renderGroup<V, P, true>(lanes, from, to, active, left, right);
    else
        renderGroup<V, P, false>(lanes, from, to, active, left, right);
}

} // namespace

void fillValuesAvx2(float* out, int32_t frames, float value) {
    const __m256 values = _mm256_set1_ps(value);
    int32_t i = 0;
    for (; i + 16 <= frames; i += 16) {
        _mm256_storeu_ps(out + i, values);
        _mm256_storeu_ps(out + i + 8, values);
    }
    for (; i < frames; ++i)
        out[i] = value;
}

void renderVoiceLanesAvx2(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t activeLanes,
                          float* left, float* right) {
    const int32_t count = lanes.laneCount;
    if (from >= to || count <= 0) return;
    if (count <= 4)
        renderVectors<1, 0>(lanes, from, to, activeLanes, left, right);
    else if (count <= 6)
        renderVectors<1, 1>(lanes, from, to, activeLanes, left, right);
    else if (count <= 8)
        renderVectors<2, 0>(lanes, from, to, activeLanes, left, right);
    else if (count <= 10)
        renderVectors<2, 1>(lanes, from, to, activeLanes, left, right);
    else
        renderVectors<3, 0>(lanes, from, to, activeLanes, left, right);
}
