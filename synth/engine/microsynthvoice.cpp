#include "microsynthvoice.h"

#include "../synth_parameters.h"
#include "adsr.h"
#include "synthcontext.h"
#include "voicelanes.h"
#include "wavetableset.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLowestNoteHz = 8.1757982601; // MIDI note 0
constexpr double kLowestOctave = 0.5;
constexpr double kHighestOctave = 12.0;
constexpr double kBendOctaves = 2.0 * (1.0 / 12.0);
constexpr double kDetuneOctaves = 0.5833333333333333; // 7 semitones
constexpr double kFloor = 0.01;

// Osc2Det near its centre snaps to these detunes, so small knob movements stay in tune.
constexpr double kDetuneDetents[21] = {-0.1,   -0.08,  -0.06, -0.04, -0.02, -0.01, -0.005,
                                       -0.002, -0.001, 0.0,   0.0,   0.0,   0.001, 0.002,
                                       0.005,  0.01,   0.02,  0.04,  0.06,  0.08,  0.1};

double clampOctave(double octave) {
    if (octave > kHighestOctave) return kHighestOctave;
    if (octave < kLowestOctave) return kLowestOctave;
    return octave;
}

// The oscillators' table: as many harmonics as fit below half the sample rate.
const float* chooseWaveTable(int32_t wave, int32_t harmonicRoom) {
    using T = WaveTableSet;
    if (wave <= 0) return T::table(T::Triangle);
    if (wave == 1) {
        if (harmonicRoom < 12) return T::table(T::Triangle);
        if (harmonicRoom < 24) return T::table(T::Saw11);
        if (harmonicRoom < 36) return T::table(T::Saw23);
        if (harmonicRoom < 48) return T::table(T::Saw35);
        return T::table(T::Saw47);
    }
    const int32_t oddRoom = harmonicRoom / 2;
    if (oddRoom < 4) return T::table(T::Triangle);
    if (oddRoom < 8) return T::table(T::Square4);
    if (oddRoom < 16) return T::table(T::Square8);
    if (oddRoom < 32) return T::table(T::Square16);
    return T::table(T::Square32);
}

// A held envelope's block of equal values, sixteen to a turn: a flat envelope is the common
// case of a held note, and the fill runs for every such voice in every block.
void fillValues(float* out, int32_t frames, float value, SimdLevel simd) {
    if (simd == SimdLevel::Avx2) return fillValuesAvx2(out, frames, value);
    int32_t i = 0;
    for (; i + 16 <= frames; i += 16)
        for (int32_t k = 0; k < 16; ++k)
            out[i + k] = value;
    for (; i < frames; ++i)
        out[i] = value;
}

} // namespace

MicroSynthVoice::MicroSynthVoice(SynthContext* synth, ADSR* filterEnvelope, ADSR* amplitudeEnvelope)
    : Voice(synth, 0), filterEnvelope_(filterEnvelope), amplitudeEnvelope_(amplitudeEnvelope),
      waveTable_(WaveTableSet::table(WaveTableSet::Triangle)) {
    buildWaveTables();
    gainsEnabled_ = 1;
    velocityScalesGains_ = 1;
    randomPanEnabled_ = 0;
    leftGain_ = 1.0;
    rightGain_ = 1.0;
    lfo_.selectWaveform(0);
}

void MicroSynthVoice::updatePitch() {
    const double octave = noteOctaves_ + pitchBend_ * kBendOctaves;
    const float range = synth_->parameterValue(channel_, OscRang);
    const int32_t octaveOffset = -1 - static_cast<int32_t>(-3.0 * range);
    const double octave1 = clampOctave(octave + octaveOffset);
    oscillator1Frequency_ = std::exp2(octave1) * kLowestNoteHz;
    oscillator1Increment_ = oscillator1Frequency_ * tableStep_;

    double detune = (synth_->parameterValue(channel_, Osc2Det) - 0.5) * 2.0;
    if (detune >= -0.1 && detune <= 0.1)
        detune = kDetuneDetents[std::min(static_cast<int32_t>((detune + 0.1) * 100.0), 20)];
    const double octave2 = clampOctave(octave1 + detune * kDetuneOctaves);
    oscillator2Increment_ = std::exp2(octave2) * kLowestNoteHz * tableStep_;
}

double MicroSynthVoice::resonanceCompensation() const {
    const double q = std::max(1.0 - synth_->parameterValue(channel_, VcfReso), kFloor);
    // A resonant filter loses level at its passband; lift it back for strong resonance.
    return q > 0.5 ? 1.0 : 4.0 * (1.0 - q) * (1.0 - q);
}

void MicroSynthVoice::updateOutputGains(double compensation) {
    outputGainLeft_ = compensation * leftGain_;
    outputGainRight_ = compensation * rightGain_;
}

void MicroSynthVoice::refreshFromParameters() {
    updatePitch();
    const double sampleRate = synth_->synthSampleRate();
    // Capped far above the largest table's 47 harmonics, so absurd rates cannot overflow.
    const double room = std::min(sampleRate * 0.5 / oscillator1Frequency_, 1e6);
    const int32_t harmonicRoom = std::max(4, static_cast<int32_t>(room));
    const int32_t wave = static_cast<int32_t>(synth_->parameterValue(channel_, OscWave) * 3.0);
    waveTable_ = chooseWaveTable(wave, harmonicRoom);

    cutoff_ = std::max<double>(synth_->parameterValue(channel_, VcfCut), kFloor);
    feedback_ = std::max(1.0 - synth_->parameterValue(channel_, VcfReso), kFloor);
    updateOutputGains(feedback_ > 0.5 ? 1.0 : 4.0 * (1.0 - feedback_) * (1.0 - feedback_));

    lfo_.setRate(synth_->parameterValue(channel_, LfoFreq) * 20.0 + 0.0001, sampleRate);
}

void MicroSynthVoice::startNote(int32_t note, double velocityValue) {
    Voice::startNote(note, velocityValue);
    tableStep_ = synth_->tableStep();
    oscillator1Phase_ = oscillator2Phase_ = 0.0;
    s1_ = s2_ = 0.0;
    filterInput_ = filterHighPass_ = 0.0;
    noteOctaves_ = note_ * (1.0 / 12.0);
    refreshFromParameters();
    filterEnvelope_.triggerEnvelope();
    amplitudeEnvelope_.triggerEnvelope();
}

bool MicroSynthVoice::releaseNote(double /*releaseVelocity*/) {
    filterEnvelope_.releaseEnvelope(false);
    amplitudeEnvelope_.releaseEnvelope(false);
    return true;
}

bool MicroSynthVoice::forceRelease() {
    filterEnvelope_.releaseEnvelope(false);
    amplitudeEnvelope_.releaseEnvelope(true);
    return true;
}

void MicroSynthVoice::setVolume(double volume) {
    Voice::setVolume(volume);
    updateOutputGains(resonanceCompensation());
}

void MicroSynthVoice::setPan(double pan) {
    Voice::setPan(pan);
    updateOutputGains(resonanceCompensation());
}

void MicroSynthVoice::setPitchBend(double /*bend*/) {
    updatePitch();
}

void MicroSynthVoice::onControlChange(int32_t controller, int32_t /*value*/) {
    if (controller == 71 || controller == 74) refreshFromParameters();
}

template <bool kFilterBuffer, bool kAmplitudeBuffer, bool kVibrato>
void MicroSynthVoice::renderSamples(float* left, float* right, int32_t frames,
                                    const float* filterValues, float filterConstant,
                                    const float* amplitudeValues, float amplitudeConstant,
                                    float base) {
    const float* const table = waveTable_;
    const float* const lfoTable = lfo_.currentTable();
    const double lfoIncrement = lfo_.increment();
    const double modulation = modulation_;
    const double increment1 = oscillator1Increment_;
    const double increment2 = oscillator2Increment_;
    const double q = feedback_;
    const double gainLeft = outputGainLeft_;
    const double gainRight = outputGainRight_;
    double lfoPhase = lfo_.phase();
    double phase1 = oscillator1Phase_;
    double phase2 = oscillator2Phase_;
    double s1 = s1_;
    double s2 = s2_;
    double input = filterInput_;
    double highPass = filterHighPass_;

    for (int32_t i = 0; i < frames; ++i) {
        const float a = table[static_cast<int64_t>(phase1) & kWaveTableMask];
        const float b = table[static_cast<int64_t>(phase2) & kWaveTableMask];
        if constexpr (kVibrato) {
            const float vibrato = lfoTable[static_cast<int64_t>(lfoPhase) & kWaveTableMask];
            const double mod = static_cast<float>(vibrato * modulation);
            phase1 += mod + increment1;
            phase2 += mod + increment2;
        } else {
            // Without modulation the vibrato term is exactly 0; the LFO runs on all the same.
            phase1 += increment1;
            phase2 += increment2;
        }
        lfoPhase += lfoIncrement;

        const float x = a + b;
        input = x - s1;
        highPass = input * q - s2;
        const float envelope = kFilterBuffer ? filterValues[i] : filterConstant;
        const double g = 0.25f * (base + envelope);
        s1 += g * highPass;
        s2 += g * s1;

        const double amplitude = kAmplitudeBuffer ? amplitudeValues[i] : amplitudeConstant;
        left[i] += static_cast<float>(amplitude * s2 * gainLeft);
        right[i] += static_cast<float>(amplitude * s2 * gainRight);
    }

    lfo_.setPhase(wrapTablePhase(lfoPhase));
    oscillator1Phase_ = wrapTablePhase(phase1);
    oscillator2Phase_ = wrapTablePhase(phase2);
    s1_ = s1;
    s2_ = s2;
    filterInput_ = input;
    filterHighPass_ = highPass;
}

template <bool kVibrato>
void MicroSynthVoice::renderVariant(float* left, float* right, int32_t frames,
                                    const float* filterValues, float filterConstant,
                                    const float* amplitudeValues, float amplitudeConstant,
                                    float base) {
    // One loop for each combination of envelope buffer or constant, so that a constant
    // envelope reads no buffer.
    if (filterValues && amplitudeValues)
        renderSamples<true, true, kVibrato>(left, right, frames, filterValues, 0.0f,
                                            amplitudeValues, 0.0f, base);
    else if (filterValues)
        renderSamples<true, false, kVibrato>(left, right, frames, filterValues, 0.0f, nullptr,
                                             amplitudeConstant, base);
    else if (amplitudeValues)
        renderSamples<false, true, kVibrato>(left, right, frames, nullptr, filterConstant,
                                             amplitudeValues, 0.0f, base);
    else
        renderSamples<false, false, kVibrato>(left, right, frames, nullptr, filterConstant, nullptr,
                                              amplitudeConstant, base);
}

void MicroSynthVoice::renderAdd(float** /*inputs*/, float** outputs, int32_t frames,
                                int32_t /*startOffset*/) {
    if (frames <= 0) return;
    const ADSR* filterShape = filterEnvelope_.attachedEnvelope();
    const ADSR* amplitudeShape = amplitudeEnvelope_.attachedEnvelope();
    // The envelope buffers hold one block; a longer call is rendered in pieces of that size.
    int32_t piece = frames;
    if (filterShape && filterShape->blockBuffer())
        piece = std::min(piece, filterShape->blockCapacity());
    if (amplitudeShape && amplitudeShape->blockBuffer())
        piece = std::min(piece, amplitudeShape->blockCapacity());
    const float filterLevel = filterShape ? filterShape->outputLevel() : 0.0f;
    const float base = static_cast<float>((1.0 - filterLevel) * cutoff_);

    float* left = outputs[0];
    float* right = outputs[1];
    for (int32_t done = 0; done < frames; done += piece) {
        const int32_t count = std::min(piece, frames - done);
        float* filterValues = nullptr;
        float* amplitudeValues = nullptr;
        float filterConstant = 0.0f;
        float amplitudeConstant = 0.0f;
        const bool filterBuffer =
            filterEnvelope_.renderEnvelope(&filterValues, &filterConstant, count, false);
        const bool amplitudeBuffer =
            amplitudeEnvelope_.renderEnvelope(&amplitudeValues, &amplitudeConstant, count, false);
        float* l = left + done;
        float* r = right + done;
        if (modulation_ != 0.0)
            renderVariant<true>(l, r, count, filterBuffer ? filterValues : nullptr, filterConstant,
                                amplitudeBuffer ? amplitudeValues : nullptr, amplitudeConstant,
                                base);
        else
            renderVariant<false>(l, r, count, filterBuffer ? filterValues : nullptr, filterConstant,
                                 amplitudeBuffer ? amplitudeValues : nullptr, amplitudeConstant,
                                 base);
    }
    if (amplitudeEnvelope_.stage() == EnvelopeStage::Idle) state_ = VoiceState::Finished;
}

void MicroSynthVoice::renderEnvelopesTo(float* filterValues, float* amplitudeValues, int32_t frames,
                                        SimdLevel simd) {
    if (frames <= 0) return;
    float constant = 0.0f;
    if (!filterEnvelope_.renderEnvelopeTo(filterValues, &constant, frames, simd))
        fillValues(filterValues, frames, constant, simd);
    if (!amplitudeEnvelope_.renderEnvelopeTo(amplitudeValues, &constant, frames, simd))
        fillValues(amplitudeValues, frames, constant, simd);
    if (amplitudeEnvelope_.stage() == EnvelopeStage::Idle) state_ = VoiceState::Finished;
}

void MicroSynthVoice::loadLane(VoiceLanes& lanes, int32_t lane) const {
    const ADSR* filterShape = filterEnvelope_.attachedEnvelope();
    const float filterLevel = filterShape ? filterShape->outputLevel() : 0.0f;
    lanes.base[lane] = static_cast<float>((1.0 - filterLevel) * cutoff_);
    lanes.phase1[lane] = oscillator1Phase_;
    lanes.phase2[lane] = oscillator2Phase_;
    lanes.lfoPhase[lane] = lfo_.phase();
    lanes.increment1[lane] = oscillator1Increment_;
    lanes.increment2[lane] = oscillator2Increment_;
    lanes.lfoIncrement[lane] = lfo_.increment();
    lanes.modulation[lane] = modulation_;
    lanes.feedback[lane] = feedback_;
    lanes.gainLeft[lane] = outputGainLeft_;
    lanes.gainRight[lane] = outputGainRight_;
    lanes.s1[lane] = s1_;
    lanes.s2[lane] = s2_;
    lanes.input[lane] = filterInput_;
    lanes.highPass[lane] = filterHighPass_;
    lanes.tableOffset[lane] = waveTable_ - lanes.tables;
    lanes.lfoTableOffset[lane] = lfo_.currentTable() - lanes.tables;
    if (modulation_ != 0.0) lanes.vibrato = true;
}

void MicroSynthVoice::storeLane(const VoiceLanes& lanes, int32_t lane) {
    oscillator1Phase_ = lanes.phase1[lane];
    oscillator2Phase_ = lanes.phase2[lane];
    lfo_.setPhase(lanes.lfoPhase[lane]);
    s1_ = lanes.s1[lane];
    s2_ = lanes.s2[lane];
    filterInput_ = lanes.input[lane];
    filterHighPass_ = lanes.highPass[lane];
}
