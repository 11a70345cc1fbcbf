// VoiceLanes: the sounding voices' render state as structure of arrays, one lane per voice, so
// that one vector instruction advances several voices' oscillators and filters at once.
//
// Each lane computes exactly what MicroSynthVoice's sample loop computes, operation for
// operation in the same precision (the engine is built without fused multiply-add), so every
// path renders the same bits. The lanes' sums go into the outputs in lane order, which is the
// order in which the voice manager renders its playing list.
//
// Audio thread; no allocation, no locks.
#pragma once

#include "simdlevel.h"

#include <cstdint>

struct VoiceLanes {
    // One AVX2 group: three registers of four doubles.
    static constexpr int32_t kMaxLanes = 12;

    alignas(32) double phase1[kMaxLanes];
    alignas(32) double phase2[kMaxLanes];
    alignas(32) double lfoPhase[kMaxLanes];
    alignas(32) double increment1[kMaxLanes];
    alignas(32) double increment2[kMaxLanes];
    alignas(32) double lfoIncrement[kMaxLanes];
    alignas(32) double modulation[kMaxLanes];
    alignas(32) double feedback[kMaxLanes];
    alignas(32) double gainLeft[kMaxLanes];
    alignas(32) double gainRight[kMaxLanes];
    alignas(32) double s1[kMaxLanes];
    alignas(32) double s2[kMaxLanes];
    alignas(32) double input[kMaxLanes];
    alignas(32) double highPass[kMaxLanes];
    alignas(32) float base[kMaxLanes];
    // Entries from `tables` (WaveTableSet's first table) to the lane's oscillator and LFO table.
    alignas(32) int64_t tableOffset[kMaxLanes];
    alignas(32) int64_t lfoTableOffset[kMaxLanes];
    // Entries from `envelopes` to frame 0 of the lane's filter-envelope values; its amplitude
    // values follow `amplitudeDistance` entries further on. Indexed by frame of the block.
    alignas(32) int32_t envelopeOffset[kMaxLanes];
    const float* tables = nullptr;
    const float* envelopes = nullptr;
    int32_t amplitudeDistance = 0;
    int32_t laneCount = 0;
    // Whether any lane has vibrato; a lane without it has modulation 0, which adds exactly 0.
    bool vibrato = false;

    // Makes every lane a silent voice that reads valid memory.
    void clear(const float* waveTables, const float* envelopeStore, int32_t distance);
};

// Renders frames [from, to) of the block for the lanes whose bit is set in `activeLanes`:
// advances their state and adds their samples into left[f] and right[f], lane after lane. Other
// lanes keep their state and add nothing.
using VoiceLaneKernel = void (*)(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t activeLanes,
                                 float* left, float* right);

void renderVoiceLanesSse2(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t activeLanes,
                          float* left, float* right);
void renderVoiceLanesAvx2(VoiceLanes& lanes, int32_t from, int32_t to, uint32_t activeLanes,
                          float* left, float* right);

// out[0, frames) = value, as a flat envelope's values for the lanes; AVX2 only.
void fillValuesAvx2(float* out, int32_t frames, float value);

// The kernel for a vector level and how many lanes it renders at once; null for Scalar.
VoiceLaneKernel voiceLaneKernel(SimdLevel level, int32_t* groupLanes);
