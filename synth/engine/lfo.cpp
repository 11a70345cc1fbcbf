#include "lfo.h"

#include "wavetableset.h"

LFO::LFO()
    : waveforms_{
          WaveTableSet::table(WaveTableSet::Sine), WaveTableSet::table(WaveTableSet::Triangle),
          WaveTableSet::table(WaveTableSet::Square4), WaveTableSet::table(WaveTableSet::Saw11)} {
    selectWaveform(0);
    setRate(3.0, 44100.0);
}

void LFO::selectWaveform(int32_t index) {
    if (index < 0) index = 0;
    if (index >= kWaveformCount) index = kWaveformCount - 1;
    waveformIndex_ = index;
    currentTable_ = waveforms_[index];
}

void LFO::setRate(double hz, double sampleRate) {
    if (sampleRate != sampleRate_) {
        sampleRate_ = sampleRate;
        entriesPerHz_ = kWaveTableLength / sampleRate;
    }
    rateHz_ = hz;
    increment_ = hz * entriesPerHz_;
}

float LFO::nextValue() {
    const float value = currentTable_[static_cast<int64_t>(phase_) & kWaveTableMask];
    phase_ = wrapTablePhase(phase_ + increment_);
    return value;
}

void LFO::fillValues(float* out, int32_t count) {
    double phase = phase_;
    for (int32_t i = 0; i < count; ++i) {
        out[i] = currentTable_[static_cast<int64_t>(phase) & kWaveTableMask];
        phase += increment_;
    }
    phase_ = wrapTablePhase(phase);
}
