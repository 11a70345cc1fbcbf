// The envelope segment loops of ADSR on AVX2: the same operations on the same positions, so the
// same values as the scalar loops. Called only where the processor has AVX2 (the voice lanes at
// that level). Audio thread; no allocation.
#pragma once

#include <cstdint>

// How far past the entry of a segment's last frame the writers may read a table: the curve
// tables carry at least this many guard entries after their last entry.
constexpr int32_t kEnvelopeTableOverread = 30;

// out[n] = table[int(position x step)] x level, position = first + n.
void writeAttackAvx2(float* out, const float* table, int32_t first, int32_t count, double step,
                     float level);
// out[n] = float(fall[int(position x step)] x depth + sustain) x level.
void writeDecayAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                    double sustain, double depth, float level);
// out[n] = float(fall[int(position x step)] x startLevel) x level; returns the last value
// before the level (0 when count is 0).
float writeReleaseAvx2(float* out, const double* fall, int32_t first, int32_t count, double step,
                       double startLevel, float level);
