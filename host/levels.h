// The output level of a rendered file: gain or peak normalisation, TPDF dither for 16-bit PCM,
// and the samples that the output format clips. Host-side only.
#pragma once

#include "wavfile.h"

#include <cstdint>

struct LevelOptions {
    double gainDecibels = 0.0;
    bool normalize = false;
    double normalizeDecibels = -1.0; // the peak that --normalize sets, in dBFS
    bool dither = true;              // 16-bit PCM only
    uint64_t ditherSeed = 0x51A7E5EEDull;
};

// What the written samples came to.
struct LevelReport {
    float peak = 0.0f;         // of the samples as written (before quantisation)
    int64_t overFull = 0;      // samples beyond full scale: clipped by PCM, kept by float
    double gainDecibels = 0.0; // applied in the end, normalisation included
    bool dithered = false;
};

// Applies the gain (or the normalising gain) to every sample, then, for 16-bit PCM with dither
// on, triangular dither of one least significant bit each side, from a generator seeded with
// options.ditherSeed so that the same input always gives the same file. NaN samples are left
// for the encoder (which writes 0) and count neither for the peak nor as clipped.
LevelReport applyOutputLevels(WavAudio& audio, WavSampleFormat format, const LevelOptions& options);

// The peak of the audio; NaN never counts.
float peakOf(const WavAudio& audio);
