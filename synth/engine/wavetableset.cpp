#include "wavetableset.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

alignas(64) float tables[WaveTableSet::kTableCount][kWaveTableEntries];
std::once_flag tablesBuilt;

constexpr double kPhaseStep = 0.0015339807880859375; // 2 pi / 4096
constexpr int32_t kHalfCycle = kWaveTableLength / 2;

// Adds the harmonics first..last (step 1 or 2) of sin(k x)/k to `sum`, entry by entry, so that
// each larger table of a family continues the partial sums of the smaller one.
void addHarmonics(double* sum, int32_t first, int32_t last, int32_t step) {
    for (int32_t k = first; k <= last; k += step) {
        const double frequency = k * kPhaseStep;
        const double weight = 1.0 / k;
        for (int32_t j = 0; j < kWaveTableLength; ++j)
            sum[j] += std::sin(frequency * j) * weight;
    }
}

void storeScaled(float* table, const double* sum, double scale) {
    for (int32_t j = 0; j < kWaveTableLength; ++j)
        table[j] = static_cast<float>(scale * sum[j]);
}

// A rising saw from the falling Fourier sum: rotate by half a cycle and negate, so the ramp
// crosses zero upwards at entry 0 and drops at entry 2048.
void rotateAndNegate(float* table) {
    for (int32_t m = 0; m < kHalfCycle; ++m) {
        const float first = table[m];
        table[m] = -table[m + kHalfCycle];
        table[m + kHalfCycle] = -first;
    }
}

void computeTables() {
    float* sine = tables[WaveTableSet::Sine];
    for (int32_t j = 0; j < kWaveTableLength; ++j)
        sine[j] = static_cast<float>(std::sin(kPhaseStep * j));

    float* triangle = tables[WaveTableSet::Triangle];
    for (int32_t j = 0; j < kHalfCycle; ++j)
        triangle[j] = static_cast<float>(j * (1.0 / 4096.0) * 2.0 * 2.0 - 1.0);
    for (int32_t j = kHalfCycle; j < kWaveTableLength; ++j)
        triangle[j] = triangle[kWaveTableLength - 1 - j];

    // The partial sums live in static storage: the builder must not allocate, and 32 KiB is
    // too much for some hosts' thread stacks.
    static double sum[kWaveTableLength];

    std::fill(sum, sum + kWaveTableLength, 0.0);
    const struct {
        WaveTableSet::Table table;
        int32_t lastHarmonic;
    } squares[] = {{WaveTableSet::Square4, 7},
                   {WaveTableSet::Square8, 15},
                   {WaveTableSet::Square16, 31},
                   {WaveTableSet::Square32, 63}};
    int32_t next = 1;
    for (const auto& square : squares) {
        addHarmonics(sum, next, square.lastHarmonic, 2);
        next = square.lastHarmonic + 2;
        storeScaled(tables[square.table], sum, 1.1);
    }

    std::fill(sum, sum + kWaveTableLength, 0.0);
    const struct {
        WaveTableSet::Table table;
        int32_t lastHarmonic;
    } saws[] = {{WaveTableSet::Saw11, 11},
                {WaveTableSet::Saw23, 23},
                {WaveTableSet::Saw35, 35},
                {WaveTableSet::Saw47, 47}};
    next = 1;
    for (const auto& saw : saws) {
        addHarmonics(sum, next, saw.lastHarmonic, 1);
        next = saw.lastHarmonic + 1;
        storeScaled(tables[saw.table], sum, 0.55);
        rotateAndNegate(tables[saw.table]);
    }

    for (auto& table : tables)
        table[kWaveTableLength] = table[0];
}

} // namespace

const float* WaveTableSet::table(Table which) {
    return tables[which];
}

void buildWaveTables() {
    std::call_once(tablesBuilt, computeTables);
}
