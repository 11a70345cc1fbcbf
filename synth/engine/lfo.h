// LFO: a low-frequency oscillator reading one of four shared wave tables. Each synth voice
// embeds one as its vibrato source. Belongs to one voice; no locks, no allocation.
#pragma once

#include <cmath>
#include <cstdint>

class LFO {
public:
    // Sine, 3 Hz at 44100 Hz, phase 0.
    LFO();
    virtual ~LFO() = default;

    // 0 sine, 1 triangle, 2 square, 3 saw; out-of-range indexes are clamped to 0..3.
    virtual void selectWaveform(int32_t index);
    virtual int32_t waveformIndex() const { return waveformIndex_; }
    // Stores the rate; recomputes entries per Hz only when the sample rate changed.
    virtual void setRate(double hz, double sampleRate);
    virtual double rateHz() const { return rateHz_; }
    // The value at the current phase, then advances the phase by one sample.
    virtual float nextValue();
    virtual void fillValues(float* out, int32_t count);

    // The voice runs the LFO inline in its sample loop through these.
    const float* currentTable() const { return currentTable_; }
    double phase() const { return phase_; }
    double increment() const { return increment_; }
    void setPhase(double phase) { phase_ = phase; }

private:
    static constexpr int32_t kWaveformCount = 4;

    double sampleRate_ = 0.0;
    double rateHz_ = 0.0;
    double phase_ = 0.0;
    double increment_ = 0.0;
    double entriesPerHz_ = 0.0;
    const float* waveforms_[kWaveformCount];
    const float* currentTable_ = nullptr;
    int32_t waveformIndex_ = 0;
};

// Keeps a table phase below one cycle so it keeps its precision however long a note runs.
// Subtracting whole cycles from a non-negative phase is exact and leaves the table index (the
// phase truncated towards zero, masked to 12 bits) unchanged. A negative phase (vibrato deeper
// than a very low note's increment) is left alone: truncation towards zero and a floor would
// pick different entries for it.
inline double wrapTablePhase(double phase) {
    constexpr double kCycle = 4096.0;
    if (phase >= kCycle) phase -= kCycle * std::floor(phase * (1.0 / kCycle));
    return phase;
}
