// ADSR: the shared definition of one envelope (segment times, sustain level, output level, the
// segment lengths at the current sample rate) and the block buffer its processors render into.
// EnvelopeCurveTable: the process-wide curve every segment shape is read from.
//
// The synth owns two ADSRs (filter and amplitude); every voice renders through them with its
// own ADSRProcessor. Setters run wherever the synth applies parameters (never concurrently with
// rendering, see MicroSynth); rendering runs on the audio thread. Only applyBlockSize allocates.
#pragma once

#include "simdlevel.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>

// 4096 entries plus guards: entry k = 1 - (1 - k/4096)^(1 + ln 10), a curve that rises
// steeply from 0 and flattens towards 1. Entry 4096 and the kGuard entries after it repeat
// entry 4095: the vector segment loops read whole windows past a segment's last entry.
struct EnvelopeCurveTable {
    static constexpr int32_t kLength = 4096;
    static constexpr int32_t kGuard = 32;
    static float values[kLength + 1 + kGuard];
    // 1 - values[k], exact in double; the decay and release loops read it directly.
    static double complements[kLength + 1 + kGuard];
    // Set once the table is complete.
    static std::atomic<bool> built;
};

class ADSR {
public:
    // Builds the curve table if no ADSR has yet. The block buffer is created by the first
    // applyBlockSize with a positive size.
    ADSR(int32_t blockCapacity, double sampleRate);
    ADSR(const ADSR&) = delete;
    ADSR& operator=(const ADSR&) = delete;
    virtual ~ADSR();

    // Segment settings as raw 0..1 amounts; a setting equal to the stored one does nothing.
    // Decay and release amounts below 0.2 are timed as 0.2 (0.049 s).
    virtual void setAttackAmount(float amount);
    virtual void setDecayAmount(float amount);
    virtual void setSustainLevel(float level);
    virtual void setReleaseAmount(float amount);
    // Multiplies every rendered value; recalculates nothing.
    virtual void setOutputLevel(float level);
    virtual void setAttackScale(double scale);
    virtual void setDecayScale(double scale);
    virtual void setReleaseScale(double scale);
    virtual float attackAmount() const { return attackAmount_; }
    virtual float decayAmount() const { return decayAmount_; }
    virtual float sustainLevel() const { return sustainLevel_; }
    virtual float releaseAmount() const { return releaseAmount_; }
    virtual float outputLevel() const { return outputLevel_; }
    virtual void applySampleRate(double sampleRate);
    // Keeps the buffer when it is large enough, else allocates a new one (not on the audio
    // thread). A size of 0 or less, or an allocation that fails, leaves everything as it was.
    virtual void applyBlockSize(int32_t frames);
    virtual int32_t blockCapacity() const { return blockCapacity_; }
    virtual int32_t attackSampleCount() const { return attackSamples_; }
    virtual int32_t decaySampleCount() const { return decaySamples_; }
    virtual int32_t releaseSampleCount() const { return releaseSamples_; }
    // Fills EnvelopeCurveTable; runs once per process however many ADSRs are built at once.
    virtual void buildCurveTable();
    // 10 * a^(1 + ln 10) seconds: 1 -> 10 s, 0.5 -> 1.0135 s, 0.2 -> 0.04916 s; 0 below 0.001.
    virtual float amountToSeconds(float amount);
    // Recomputes the segment sample counts, and the step of each count that changed (all of
    // them when forced).
    virtual void recalculate(bool force);
    // Writes `frames` values for envelope positions start.. into the block buffer and returns
    // the level reached (see ADSRProcessor). frames must not exceed the block capacity.
    virtual double renderSegment(int32_t start, int32_t frames, double startLevel);
    // The same values and bookkeeping, written to `out` (at least `frames` long) instead; at
    // SimdLevel Avx2 the segment loops run four frames at a time, to the same values.
    double renderSegmentTo(float* out, int32_t start, int32_t frames, double startLevel,
                           SimdLevel simd = SimdLevel::Scalar);

    // When every value renderSegment would write for this range is the same, stores it in
    // `value` and returns true, and updates the shared last level just as renderSegment
    // would; the caller then skips the buffer. Only ranges inside attack and decay qualify.
    bool constantSegment(int32_t start, int32_t frames, float& value, double& level);

    float* blockBuffer() const { return blockBuffer_.get(); }
    double lastLevel() const { return lastLevel_; }
    int32_t attackDecaySampleCount() const { return attackDecaySamples_; }
    int32_t totalSampleCount() const { return totalSamples_; }

private:
    float attackValue(int32_t i) const;
    float decayValue(int32_t i) const;
    float releaseValue(int32_t i, double level) const;
    void writeAttack(float* out, int32_t first, int32_t count, bool avx2) const;
    void writeDecay(float* out, int32_t first, int32_t count, bool avx2) const;
    // Returns the last release value written (before the output level).
    float writeRelease(float* out, int32_t first, int32_t count, double startLevel,
                       bool avx2) const;
    static int32_t updateSegment(double seconds, double scale, double sampleRate, int32_t& count,
                                 double& step);

    double sampleRate_;
    double attackScale_ = 1.0;
    double decayScale_ = 1.0;
    double releaseScale_ = 1.0;
    double attackStep_ = 0.0;
    double decayStep_ = 0.0;
    double releaseStep_ = 0.0;
    double lastLevel_ = 0.0;
    float attackSeconds_ = 0.0f;
    float decaySeconds_ = 0.0f;
    float sustainLevel_ = 1.0f;
    float releaseSeconds_ = 0.0f;
    float outputLevel_ = 1.0f;
    float attackAmount_ = -1.0f;
    float decayAmount_ = -1.0f;
    float releaseAmount_ = -1.0f;
    // The release amount set before the current one, and its seconds; NaN matches no amount.
    float previousReleaseAmount_ = std::numeric_limits<float>::quiet_NaN();
    float previousReleaseSeconds_ = 0.0f;
    std::unique_ptr<float[]> blockBuffer_;
    int32_t blockCapacity_;
    int32_t attackSamples_ = -1;
    int32_t decaySamples_ = -1;
    int32_t releaseSamples_ = -1;
    int32_t attackDecaySamples_ = 0;
    int32_t totalSamples_ = 0;
};
