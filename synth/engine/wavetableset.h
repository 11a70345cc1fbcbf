// WaveTableSet: the process-wide single-cycle tables every periodic signal of the synth reads
// (oscillators and LFO). Ten tables of 4096 entries plus one guard entry, read with a truncated
// phase masked to 12 bits and no interpolation.
#pragma once

#include <cstdint>

constexpr int32_t kWaveTableLength = 4096;
constexpr int32_t kWaveTableMask = kWaveTableLength - 1;
constexpr int32_t kWaveTableEntries = kWaveTableLength + 1; // with the guard entry

class WaveTableSet {
public:
    enum Table : int32_t {
        Sine,
        Triangle,
        Square4,
        Square8,
        Square16,
        Square32,
        Saw11,
        Saw23,
        Saw35,
        Saw47,
        kTableCount,
    };

    // Address of one table. Stable for the life of the process; the content is valid once
    // buildWaveTables() has returned on any thread.
    static const float* table(Table which);
};

// Computes every table. Runs the computation once per process; later and concurrent calls
// wait for that one to finish and return. Any thread; allocates nothing.
void buildWaveTables();
