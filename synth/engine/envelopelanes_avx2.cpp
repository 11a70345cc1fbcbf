// Built with -mavx2 and without fused multiply-add, like the voice lanes; nothing here is
// shared with code built for other processors.
//
// Two ways through a segment piece, both reading each frame's entry as the scalar loop does
// (position x step, truncated):
// - windows, for steps up to 2 (every decay and release at 44.1 kHz and above, and attacks of
//   0.05 s and longer): the final value of each entry the piece touches is computed once,
//   vectorised, into a buffer; the entries of 8 to 32 consecutive frames then lie within 8 or
//   16 consecutive entries, so one or two unaligned loads from the buffer and a lane permute
//   per eight frames give their values. On the processors measured (AMD Zen 4) this is faster
//   than the gather instruction too, which would spend fewer instructions;
// - gathered, for larger steps (short attacks, low sample rates): four frames' entries, then
//   four scalar table reads.
#include "envelopelanes.h"

#include <immintrin.h>

#include <algorithm>

namespace {

inline __m256d firstPositions(int32_t first) {
    const double p = first;
    return _mm256_setr_pd(p, p + 1.0, p + 2.0, p + 3.0);
}

inline __m128i entries(__m256d position, __m256d step) {
    // Truncation to 32 bits, as the scalar loop converts.
    return _mm256_cvttpd_epi32(_mm256_mul_pd(position, step));
}

inline int32_t entryAt(double position, double step) {
    return static_cast<int32_t>(position * step);
}

// The pieces run in runs of up to kRun frames (one buffer of entries or entry values each):
// one run for a block of up to 512 frames.
constexpr int32_t kRun = 512;

// --- Windows ---------------------------------------------------------------------------------

// A window is kSpan consecutive entries (one or two registers) that the entries of kFrames
// consecutive frames lie within: (kFrames - 1) x step plus the rounding of two products must
// stay below kSpan. The limits leave a wide margin for the rounding; the fewer entries a step
// moves, the more frames share one window.
struct WindowShape {
    int32_t span;
    int32_t frames;
    double maxStep;
};
constexpr WindowShape kWindowShapes[] = {{8, 32, 0.22}, {8, 16, 0.45}, {8, 8, 0.99}, {16, 8, 2.0}};
constexpr int32_t kMaxSpan = 16;
constexpr int32_t kMaxStepWindowed = 2;
static_assert(kWindowShapes[3].maxStep <= kMaxStepWindowed && kWindowShapes[3].span == kMaxSpan);
// Fills write sixteen values at a time.
constexpr int32_t kFillBatch = 16;
// A run's entries (at most (kRun - 1) x kMaxStepWindowed + 1) plus the last window, rounded up
// to whole fills.
constexpr int32_t kValueCapacity = kRun * kMaxStepWindowed + kMaxSpan + kFillBatch;
static_assert(kMaxSpan + kFillBatch - 2 <= kEnvelopeTableOverread,
              "fills read past the curve table's guard");

// Writes the kFrames frames at `positions` (four to a register) from one window; values[k] is
// the final value of entry lowest + k, for every entry the window covers.
template <int32_t kSpan, int32_t kFrames>
inline void writeWindow(float* out, const float* values, int32_t lowest, const __m256d* positions,
                        __m256d steps) {
    __m256i at[kFrames / 8];
    for (int32_t j = 0; j < kFrames / 8; ++j)
        at[j] = _mm256_set_m128i(entries(positions[2 * j + 1], steps),
                                 entries(positions[2 * j], steps));
    // Every frame's lane: its entry less the first frame's, where the window starts.
    const auto base =
        static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(at[0])) - lowest);
    const __m256i bases = _mm256_permutevar8x32_epi32(at[0], _mm256_setzero_si256());
    const __m256 low = _mm256_loadu_ps(values + base);
    __m256 high = low;
    if constexpr (kSpan > 8) high = _mm256_loadu_ps(values + base + 8);
    for (int32_t j = 0; j < kFrames / 8; ++j) {
        const __m256i lanes = _mm256_sub_epi32(at[j], bases);
        __m256 picked = _mm256_permutevar8x32_ps(low, lanes);
        if constexpr (kSpan > 8) {
            // The permute reads only each lane's low three bits; bit 3 picks the upper half.
            picked = _mm256_blendv_ps(picked, _mm256_permutevar8x32_ps(high, lanes),
                                      _mm256_castsi256_ps(_mm256_slli_epi32(lanes, 28)));
        }
        _mm256_storeu_ps(out + 8 * j, picked);
    }
}

// Writes `count` frames (a multiple of kFrames x kWindows) from position `first`, kWindows
// windows of kFrames frames at a time.
template <int32_t kSpan, int32_t kFrames, int32_t kWindows>
inline void writeWindows(float* out, const float* values, int32_t lowest, int32_t first,
                         int32_t count, double step) {
    constexpr int32_t kQuads = kFrames * kWindows / 4;
    const __m256d steps = _mm256_set1_pd(step);
    const __m256d stride = _mm256_set1_pd(kFrames * kWindows);
    __m256d positions[kQuads];
    positions[0] = firstPositions(first);
    for (int32_t q = 1; q < kQuads; ++q)
        positions[q] = _mm256_add_pd(positions[0], _mm256_set1_pd(4.0 * q));
    for (int32_t k = 0; k < count; k += kFrames * kWindows) {
        for (int32_t w = 0; w < kWindows; ++w)
            writeWindow<kSpan, kFrames>(out + k + w * kFrames, values, lowest,
                                        positions + w * kFrames / 4, steps);
        for (int32_t q = 0; q < kQuads; ++q)
            positions[q] = _mm256_add_pd(positions[q], stride);
    }
}

// Writes the frames of whole groups of eight in runs of up to kRun, with windows of kSpan
// entries over kFrames frames; returns how many. fill(values, lowest, n) stores the final
// values of entries lowest .. lowest + n - 1 (n a multiple of kFillBatch).
template <int32_t kSpan, int32_t kFrames, class Fill>
int32_t writeWindowed(float* out, int32_t first, int32_t count, double step, const Fill& fill) {
    alignas(32) float values[kValueCapacity];
    int32_t n = 0;
    while (count - n >= 8) {
        const int32_t run = std::min(count - n, kRun) & ~7;
        const double position = static_cast<double>(first) + n;
        // Products rise with the position: every frame's entry lies between these two.
        const int32_t lowest = entryAt(position, step);
        const int32_t highest = entryAt(position + (run - 1), step);
        fill(values, lowest, (highest - lowest + kSpan + kFillBatch - 1) & ~(kFillBatch - 1));
        // Two windows to a turn of the loop where a window is only eight frames.
        constexpr int32_t kWindows = kFrames == 8 ? 2 : 1;
        const int32_t whole = run & ~(kFrames * kWindows - 1);
        writeWindows<kSpan, kFrames, kWindows>(out + n, values, lowest, first + n, whole, step);
        // The last groups of eight of a run: eight frames span no more entries than kFrames.
        for (int32_t k = whole; k < run; k += 8)
            writeWindows<kSpan, 8, 1>(out + n + k, values, lowest, first + n + k, 8, step);
        n += run;
    }
    return n;
}

// --- Gathered --------------------------------------------------------------------------------

// Every frame's table entry goes to memory first, then the reads: on the processors measured
// (AMD Zen 4) several times faster than the gather instruction or moving lanes to integer
// registers one at a time, and than reading each entry right after storing it.

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

// Writes the frames of whole groups of four; returns how many. four(out, at) writes four
// frames from their entries.
template <class Four>
int32_t writeGathered(float* out, int32_t first, int32_t count, double step, const Four& four) {
    alignas(16) int32_t at[kRun];
    int32_t n = 0;
    while (count - n >= 4) {
        const int32_t run = std::min(count - n, kRun) & ~3;
        storeEntries(at, first + n, run, step);
        for (int32_t k = 0; k < run; k += 4)
            four(out + n + k, at + k);
        n += run;
    }
    return n;
}

// Writes all but the last few frames (fewer than eight) by windows or gathered, whichever the
// step allows; returns how many.
template <class Fill, class Four>
int32_t writeGroups(float* out, int32_t first, int32_t count, double step, const Fill& fill,
                    const Four& four) {
    constexpr auto shape = kWindowShapes;
    if (step <= shape[0].maxStep)
        return writeWindowed<shape[0].span, shape[0].frames>(out, first, count, step, fill);
    if (step <= shape[1].maxStep)
        return writeWindowed<shape[1].span, shape[1].frames>(out, first, count, step, fill);
    if (step <= shape[2].maxStep)
        return writeWindowed<shape[2].span, shape[2].frames>(out, first, count, step, fill);
    if (step <= shape[3].maxStep)
        return writeWindowed<shape[3].span, shape[3].frames>(out, first, count, step, fill);
    return writeGathered(out, first, count, step, four);
}

// Stores eight(k), the final values of the fill's entries k .. k + 7, for k below n (a multiple
// of kFillBatch).
template <class Eight>
inline void fillValues(float* values, int32_t n, const Eight& eight) {
    for (int32_t k = 0; k < n; k += kFillBatch) {
        _mm256_store_ps(values + k, eight(k));
        _mm256_store_ps(values + k + 8, eight(k + 8));
    }
}

// The decay and release: writes the frames of whole groups from the complements `fall`, each
// value value(four entries' falls) x level; returns how many.
template <class Value>
int32_t writeFromFall(float* out, const double* fall, int32_t first, int32_t count, double step,
                      float level, const Value& value) {
    const __m256 levels = _mm256_set1_ps(level);
    const auto fill = [&](float* values, int32_t lowest, int32_t n) {
        const double* from = fall + lowest;
        fillValues(values, n, [&](int32_t k) {
            const __m256 eight = _mm256_set_m128(value(_mm256_loadu_pd(from + k + 4)),
                                                 value(_mm256_loadu_pd(from + k)));
            return _mm256_mul_ps(eight, levels);
        });
    };
    const auto four = [&](float* to, const int32_t* e) {
        _mm_storeu_ps(to, _mm_mul_ps(value(readFour(fall, e)), _mm256_castps256_ps128(levels)));
    };
    return writeGroups(out, first, count, step, fill, four);
}

} // namespace

void writeAttackAvx2(float* out, const float* table, int32_t first, int32_t count, double step,
                     float level) {
    const __m256 levels = _mm256_set1_ps(level);
    const auto fill = [&](float* values, int32_t lowest, int32_t n) {
        const float* from = table + lowest;
        fillValues(values, n,
                   [&](int32_t k) { return _mm256_mul_ps(_mm256_loadu_ps(from + k), levels); });
    };
    const auto four = [&](float* to, const int32_t* e) {
        const __m128 values = _mm_setr_ps(table[e[0]], table[e[1]], table[e[2]], table[e[3]]);
        _mm_storeu_ps(to, _mm_mul_ps(values, _mm256_castps256_ps128(levels)));
    };
    int32_t n = writeGroups(out, first, count, step, fill, four);
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0)
        out[n] = table[entryAt(p, step)] * level;
}

void writeDecayAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                    double sustain, double depth, float level) {
    const __m256d depths = _mm256_set1_pd(depth);
    const __m256d sustains = _mm256_set1_pd(sustain);
    const auto decayed = [&](__m256d falls) {
        return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(falls, depths), sustains));
    };
    int32_t n = writeFromFall(out, fall, first, count, step, level, decayed);
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0) {
        const double value = fall[entryAt(p, step)] * depth + sustain;
        out[n] = static_cast<float>(value) * level;
    }
}

float writeReleaseAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                       double startLevel, float level) {
    if (count <= 0) return 0.0f;
    const __m256d starts = _mm256_set1_pd(startLevel);
    const auto released = [&](__m256d falls) {
        return _mm256_cvtpd_ps(_mm256_mul_pd(falls, starts));
    };
    int32_t n = writeFromFall(out, fall, first, count, step, level, released);
    for (double p = static_cast<double>(first) + n; n < count; ++n, p += 1.0)
        out[n] = static_cast<float>(fall[entryAt(p, step)] * startLevel) * level;
    // The scalar loop's last value, before the level.
    const double last = static_cast<double>(first) + (count - 1);
    return static_cast<float>(fall[entryAt(last, step)] * startLevel);
}
