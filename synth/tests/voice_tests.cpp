// One voice's sound: pitch from note, range, detune and bend; the wave table for the note;
// resonance compensation; vibrato.
#include "engine/wavetableset.h"
#include "voicer_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using oriv_test::VoicerRig;
using oriv_test::zeroCrossingFrequency;

// A plain tone: triangle, no detune, filter wide open, no resonance, no vibrato.
class VoiceTest : public ::testing::Test {
protected:
    VoiceTest() {
        set(OscWave, 0.0f);
        set(Osc2Det, 0.5f);
        set(VcfCut, 1.0f);
        set(VcfReso, 0.0f);
    }
    void set(SynthParameter index, float value) { rig.synth.values[index] = value; }
    // Plays a note for half a second and measures its frequency after the first 0.1 s.
    double playedFrequency(int32_t note) {
        rig.filter.setOutputLevel(1.0f - rig.synth.values[VcfCut]);
        rig.noteOn(note);
        const size_t start = rig.left.size();
        rig.render(22050);
        return zeroCrossingFrequency(rig.left, start + 4410, rig.left.size(), 44100.0);
    }
    static double noteHz(double note) { return 8.1757982601 * std::exp2(note / 12.0); }

    VoicerRig rig;
};

TEST_F(VoiceTest, PitchFollowsNoteRangeAndBend) {
    EXPECT_NEAR(playedFrequency(69), 440.0, 0.5);
    rig.voicer.stopAllVoices();
    set(OscRang, 1.0f); // +2 octaves
    EXPECT_NEAR(playedFrequency(57), 880.0, 1.0);
    rig.voicer.stopAllVoices();
    set(OscRang, 0.99f); // +1 octave
    EXPECT_NEAR(playedFrequency(57), 440.0, 0.5);
    rig.voicer.stopAllVoices();
    set(OscRang, 0.0f);          // -1 octave
    rig.bytes({0xE0, 127, 127}); // bend up by just under two semitones
    EXPECT_NEAR(playedFrequency(69), noteHz(69 - 12 + 2 * (16383 / 8192.0 - 1.0)), 0.5);
}

TEST_F(VoiceTest, BendMovesBothOscillatorsWithoutChangingTheTable) {
    set(OscWave, 0.5f); // saws
    rig.noteOn(93);     // 1760 Hz: room for 12 harmonics, the smallest saw
    MicroSynthVoice* voice = rig.head();
    EXPECT_EQ(voice->waveTable(), WaveTableSet::table(WaveTableSet::Saw11));
    const double before1 = voice->oscillator1Increment();
    const double before2 = voice->oscillator2Increment();
    rig.bytes({0xE0, 0, 127});
    EXPECT_NEAR(voice->oscillator1Increment() / before1, std::exp2(2 * (16256 / 8192.0 - 1) / 12),
                1e-12);
    EXPECT_NEAR(voice->oscillator2Increment() / before2, voice->oscillator1Increment() / before1,
                1e-12);
    EXPECT_EQ(voice->waveTable(), WaveTableSet::table(WaveTableSet::Saw11));
}

// Power of one frequency in a signal (Goertzel).
double powerAt(const std::vector<float>& signal, size_t begin, double hz) {
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * hz / 44100.0);
    double previous = 0.0;
    double older = 0.0;
    for (size_t i = begin; i < signal.size(); ++i) {
        const double current = signal[i] + coefficient * previous - older;
        older = previous;
        previous = current;
    }
    return previous * previous + older * older - coefficient * previous * older;
}

TEST_F(VoiceTest, SecondOscillatorSoundsAFifthUp) {
    set(Osc2Det, 1.0f);
    rig.noteOn(69);
    rig.render(44100);
    const double fifth = 440.0 * std::exp2(7.0 / 12.0);
    EXPECT_GT(powerAt(rig.left, 4410, fifth), 100.0 * powerAt(rig.left, 4410, fifth - 30.0));
    EXPECT_GT(powerAt(rig.left, 4410, fifth), 100.0 * powerAt(rig.left, 4410, 600.0));
}

TEST_F(VoiceTest, DetuneSnapsNearTheCentre) {
    const struct {
        float knob;
        double semitones;
    } rows[] = {{0.5f, 0.0}, {0.52f, 0.002 * 7}, {1.0f, 7.0}, {0.0f, -7.0}, {0.7f, 0.4 * 7}};
    for (const auto& row : rows) {
        set(Osc2Det, row.knob);
        rig.noteOn(60);
        const MicroSynthVoice* voice = rig.head();
        EXPECT_NEAR(voice->oscillator2Increment() / voice->oscillator1Increment(),
                    std::exp2(row.semitones / 12.0), 1e-6)
            << "Osc2Det " << row.knob;
        rig.voicer.stopAllVoices();
    }
}

TEST_F(VoiceTest, WaveTableFitsTheHarmonicsBelowHalfTheSampleRate) {
    using T = WaveTableSet;
    const struct {
        float wave;
        int32_t note;
        T::Table table;
    } rows[] = {
        {0.0f, 30, T::Triangle}, {0.5f, 94, T::Triangle}, {0.5f, 93, T::Saw11},
        {0.5f, 71, T::Saw35},    {0.5f, 40, T::Saw47},    {1.0f, 101, T::Triangle},
        {1.0f, 100, T::Square4}, {1.0f, 72, T::Square16}, {1.0f, 40, T::Square32},
        {0.66f, 93, T::Saw11},   {0.67f, 93, T::Square4},
    };
    for (const auto& row : rows) {
        set(OscWave, row.wave);
        rig.noteOn(row.note);
        EXPECT_EQ(rig.head()->waveTable(), T::table(row.table))
            << "OscWave " << row.wave << " note " << row.note;
        rig.voicer.stopAllVoices();
    }
}

TEST_F(VoiceTest, StrongResonanceIsCompensated) {
    set(VcfReso, 1.0f);
    rig.noteOn(60);
    EXPECT_EQ(rig.head()->feedback(), 0.01);
    EXPECT_NEAR(rig.head()->outputGainLeft(), 3.9204 * rig.head()->leftGain(), 1e-12);
    rig.voicer.stopAllVoices();
    set(VcfReso, 0.0f);
    rig.noteOn(60);
    EXPECT_EQ(rig.head()->feedback(), 1.0);
    EXPECT_EQ(rig.head()->outputGainLeft(), rig.head()->leftGain());
}

TEST_F(VoiceTest, VibratoNeedsTheModulationWheel) {
    VoicerRig other;
    other.synth.values = rig.synth.values;
    rig.synth.values[LfoFreq] = 0.9f;
    rig.noteOn(69);
    other.noteOn(69);
    rig.render(8192);
    other.render(8192);
    EXPECT_EQ(rig.left, other.left); // the LFO runs, but without the wheel it has no effect

    VoicerRig wheel;
    wheel.synth.values = rig.synth.values;
    wheel.synth.values[LfoFreq] = 0.25f; // 5 Hz
    wheel.control(1, 127);               // full modulation
    wheel.noteOn(69);                    // 440 Hz
    wheel.render(1728);
    wheel.render(960); // the LFO sine peaks at sample 2205, in the middle of these
    // At the top of the sine the phase runs one table entry per sample faster (+10.77 Hz);
    // averaged over the +-0.34 rad around the top, +10.56 Hz.
    EXPECT_NEAR(zeroCrossingFrequency(wheel.left, 1728, 2688, 44100.0),
                440.0 + 44100.0 / 4096.0 * 0.9807, 0.5);
}

TEST_F(VoiceTest, ZeroSustainFinishesTheVoiceAfterItsDecay) {
    set(VcaSus, 0.0f);
    set(VcaDec, 0.0f); // 2167 samples
    rig.applyEnvelopeParameters();
    rig.noteOn(60);
    rig.render(2176);
    EXPECT_EQ(rig.voicer.playingCount(), 1);
    rig.render(VoicerRig::kBlock);
    EXPECT_EQ(rig.head()->state(), VoiceState::Finished);
    rig.render(VoicerRig::kBlock);
    EXPECT_EQ(rig.voicer.playingCount(), 0);
}

} // namespace
