#include "voicelanes.h"

void VoiceLanes::clear(const float* waveTables, const float* envelopeStore, int32_t distance) {
    for (int32_t k = 0; k < kMaxLanes; ++k) {
        phase1[k] = phase2[k] = lfoPhase[k] = 0.0;
        increment1[k] = increment2[k] = lfoIncrement[k] = modulation[k] = 0.0;
        feedback[k] = gainLeft[k] = gainRight[k] = 0.0;
        s1[k] = s2[k] = input[k] = highPass[k] = 0.0;
        base[k] = 0.0f;
        tableOffset[k] = lfoTableOffset[k] = 0;
        envelopeOffset[k] = 0;
    }
    tables = waveTables;
    envelopes = envelopeStore;
    amplitudeDistance = distance;
    laneCount = 0;
    vibrato = false;
}

VoiceLaneKernel voiceLaneKernel(SimdLevel level, int32_t* groupLanes) {
    switch (level) {
    case SimdLevel::Avx2:
        *groupLanes = 10; // two registers of four lanes and one of two

        return renderVoiceLanesAvx2;
    case SimdLevel::Sse2:
        *groupLanes = 4;
        return renderVoiceLanesSse2;
    case SimdLevel::Scalar:
        break;
    }
    *groupLanes = 1;
    return nullptr;
}
