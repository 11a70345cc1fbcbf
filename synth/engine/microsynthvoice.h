// MicroSynthVoice: the synth's voice. Two oscillators read one shared wave table; their sum
// runs through a two-pole resonant low-pass filter whose coefficient follows the filter
// envelope, is scaled by the amplitude envelope and the gains, and is added into the stereo
// output. An embedded sine LFO adds vibrato under the modulation wheel.
//
// Audio thread (and the synth's parameter path, which never runs concurrently with it). All
// storage is part of the object; nothing is allocated after construction.
#pragma once

#include "adsrprocessor.h"
#include "lfo.h"
#include "voice.h"

class ADSR;
struct VoiceLanes;

class MicroSynthVoice : public Voice {
public:
    MicroSynthVoice(SynthContext* synth, ADSR* filterEnvelope, ADSR* amplitudeEnvelope);

    void renderAdd(float** inputs, float** outputs, int32_t frames, int32_t startOffset) override;
    // Resets phases and filter, reads the parameters, triggers both envelopes. The LFO runs on.
    void startNote(int32_t note, double velocityValue) override;
    // Both envelopes into their release; the voice goes on sounding.
    bool releaseNote(double releaseVelocity) override;
    // Filter envelope released normally, amplitude envelope fast (0.049 s).
    bool forceRelease() override;
    void setVolume(double volume) override;
    void setPan(double pan) override;
    // Recomputes both oscillator frequencies from the stored bend; the table is not re-chosen.
    void setPitchBend(double bend) override;
    // Controllers 71 and 74 (resonance, cutoff) re-read the parameters.
    void onControlChange(int32_t controller, int32_t value) override;

    // Re-reads pitch, wave table, cutoff, resonance and LFO rate from the synth's parameters.
    void refreshFromParameters();

    // Rendering in lanes (MicroSynthVoicer): the voice's stretch of a block is split in two.
    // renderEnvelopesTo makes exactly the envelope calls renderAdd makes for `frames` samples
    // (at most one block), writes the values to the two buffers (a flat envelope written out)
    // and ends the voice when its amplitude envelope has. loadLane copies what the sample loop
    // reads into a lane, storeLane takes the advanced state back.
    void renderEnvelopesTo(float* filterValues, float* amplitudeValues, int32_t frames,
                           SimdLevel simd);
    void loadLane(VoiceLanes& lanes, int32_t lane) const;
    void storeLane(const VoiceLanes& lanes, int32_t lane);

    double oscillator1Frequency() const { return oscillator1Frequency_; }
    double oscillator1Increment() const { return oscillator1Increment_; }
    double oscillator2Increment() const { return oscillator2Increment_; }
    const float* waveTable() const { return waveTable_; }
    double cutoff() const { return cutoff_; }
    double feedback() const { return feedback_; }
    double outputGainLeft() const { return outputGainLeft_; }
    double outputGainRight() const { return outputGainRight_; }
    const LFO& lfo() const { return lfo_; }
    const ADSRProcessor& filterEnvelope() const { return filterEnvelope_; }
    const ADSRProcessor& amplitudeEnvelope() const { return amplitudeEnvelope_; }

private:
    void updatePitch();
    void updateOutputGains(double compensation);
    double resonanceCompensation() const;
    template <bool kVibrato>
    void renderVariant(float* left, float* right, int32_t frames, const float* filterValues,
                       float filterConstant, const float* amplitudeValues, float amplitudeConstant,
                       float base);
    template <bool kFilterBuffer, bool kAmplitudeBuffer, bool kVibrato>
    void renderSamples(float* left, float* right, int32_t frames, const float* filterValues,
                       float filterConstant, const float* amplitudeValues, float amplitudeConstant,
                       float base);

    LFO lfo_;
    double tableStep_ = 0.0;
    double noteOctaves_ = 0.0;
    double cutoff_ = 0.0;
    double feedback_ = 0.0;
    double filterInput_ = 0.0;    // x - s1 of the last sample
    double filterHighPass_ = 0.0; // the high-pass term of the last sample
    double s1_ = 0.0;
    double s2_ = 0.0;
    double oscillator1Phase_ = 0.0;
    double oscillator2Phase_ = 0.0;
    double outputGainLeft_ = 0.0;
    double outputGainRight_ = 0.0;
    double oscillator1Increment_ = 0.0;
    double oscillator2Increment_ = 0.0;
    double oscillator1Frequency_ = 0.0;
    ADSRProcessor filterEnvelope_;
    ADSRProcessor amplitudeEnvelope_;
    const float* waveTable_;
};
