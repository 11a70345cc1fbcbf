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

// Table phases grow without bound; the table index is the phase truncated towards zero, masked
// to 12 bits. Far above any phase a note reaches in hours, whole cycles are taken off so that
// the phase never loses its fractional precision. Taking whole cycles off a non-negative phase
// is exact and keeps the index; doing it only at this threshold (not at every block end) keeps
// the sound independent of how the host cuts the blocks, since rounding depends on magnitude.
inline double wrapTablePhase(double phase) {
    constexpr double kWrapThreshold = 1099511627776.0; // 2^40 entries
    constexpr double kCycle = 4096.0;
    if (phase >= kWrapThreshold) phase -= kCycle * std::floor(phase * (1.0 / kCycle));
    return phase;
}
