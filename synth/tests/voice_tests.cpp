// What one note of Oriv sounds like, measured on the audio it renders: pitch at the host's
// sample rate, the second oscillator's detune, the filter's cutoff, resonance and envelope,
// velocity, the amplitude envelope's stages and vibrato; and the wave table a note gets.
#include "engine/wavetableset.h"
#include "voicer_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

using oriv_test::EventList;
using oriv_test::powerAt;
using oriv_test::rootMeanSquare;
using oriv_test::SynthRig;
using oriv_test::VoicerRig;
using oriv_test::zeroCrossingFrequency;

double hzOfNote(double note) {
    return 8.1757982601 * std::exp2(note / 12.0);
}

// Oriv as a host drives it: parameters written through the host interface, notes as MIDI
// events, the output recorded. Unless a test says otherwise it plays a plain triangle at a
// constant level: no detune, filter wide open, no resonance, no envelope movement.
class PlayedNote {
public:
    explicit PlayedNote(double sampleRate = 44100.0)
        : rig_(static_cast<float>(sampleRate), kBlock), rate_(sampleRate) {
        const std::pair<SynthParameter, float> plain[] = {
            {OscRang, 0.5f}, {OscWave, 0.0f}, {Osc2Det, 0.5f}, {VcfCut, 1.0f}, {VcfReso, 0.0f},
            {VcfAtt, 0.0f},  {VcfDec, 0.0f},  {VcfSus, 1.0f},  {VcfRel, 0.0f}, {VcaAtt, 0.0f},
            {VcaDec, 0.0f},  {VcaSus, 1.0f},  {VcaRel, 0.0f}};
        for (const auto& [index, value] : plain)
            set(index, value);
    }
    PlayedNote& set(SynthParameter index, float value) {
        rig_.synth().writeParameter(index, value);
        return *this;
    }
    // Sends the event at the next frame, then renders for `seconds`.
    PlayedNote& event(uint8_t status, uint8_t data1, uint8_t data2, double seconds = 0.0) {
        EventList events;
        events.add(0, status, data1, data2);
        rig_.render(kBlock, events);
        return renderFor(seconds - static_cast<double>(kBlock) / rate_);
    }
    PlayedNote& play(uint8_t note, double seconds, uint8_t velocity = 100) {
        return event(0x90, note, velocity, seconds);
    }
    PlayedNote& release(uint8_t note, double seconds) { return event(0x80, note, 64, seconds); }
    PlayedNote& renderFor(double seconds) {
        for (auto left = static_cast<int64_t>(frame(seconds)); left > 0; left -= kBlock)
            rig_.render(static_cast<int32_t>(std::min<int64_t>(left, kBlock)));
        return *this;
    }

    size_t frame(double seconds) const {
        return seconds > 0.0 ? static_cast<size_t>(std::lround(seconds * rate_)) : 0;
    }
    const std::vector<float>& left() const { return rig_.left(); }
    const std::vector<float>& right() const { return rig_.right(); }
    double frequency(double from, double to) const {
        return zeroCrossingFrequency(left(), frame(from), frame(to), rate_);
    }
    double power(double hz, double from, double to) const {
        return powerAt(left(), frame(from), frame(to), hz, rate_);
    }
    double level(double from, double to) const {
        return rootMeanSquare(left(), frame(from), frame(to));
    }
    // The harmonic of `fundamental` (1 to `count`) with the most power.
    int32_t loudestHarmonic(double fundamental, int32_t count, double from, double to) const {
        int32_t loudest = 1;
        for (int32_t k = 2; k <= count; ++k)
            if (power(k * fundamental, from, to) > power(loudest * fundamental, from, to))
                loudest = k;
        return loudest;
    }

private:
    static constexpr int32_t kBlock = 256;
    SynthRig rig_;
    double rate_;
};

TEST(OrivPitch, NotesSoundAtTheirPitchAtEverySampleRate) {
    const struct {
        float range;
        uint8_t note;
        bool bendUp;
        double hz;
    } rows[] = {
        {0.5f, 69, false, 440.0},
        {1.0f, 57, false, 880.0},  // +2 octaves
        {0.99f, 57, false, 440.0}, // +1 octave
        {0.0f, 81, false, 440.0},  // -1 octave
        // Bend up by just under two semitones.
        {0.5f, 69, true, hzOfNote(69 + 2 * (16383 / 8192.0 - 1.0))},
    };
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        for (const auto& row : rows) {
            PlayedNote played(rate);
            played.set(OscRang, row.range);
            if (row.bendUp) played.event(0xE0, 127, 127);
            played.play(row.note, 0.3);
            EXPECT_NEAR(played.frequency(0.05, 0.3), row.hz, 0.3)
                << rate << " Hz, OscRang " << row.range << ", note " << int{row.note};
        }
    }
}

TEST(OrivDetune, TheSecondOscillatorSoundsUpToSevenSemitonesAway) {
    const struct {
        float detune;
        bool bendUp;
        double semitones;
    } rows[] = {{1.0f, false, 7.0},
                {0.0f, false, -7.0},
                {0.7f, false, 0.4 * 7.0},
                // The bend moves both oscillators.
                {1.0f, true, 7.0 + 2.0 * (16383 / 8192.0 - 1.0)}};
    for (double rate : {44100.0, 96000.0}) {
        for (const auto& row : rows) {
            PlayedNote played(rate);
            played.set(Osc2Det, row.detune);
            if (row.bendUp) played.event(0xE0, 127, 127);
            played.play(69, 0.5);
            const double second = 440.0 * std::exp2(row.semitones / 12.0);
            const double tone = played.power(second, 0.05, 0.5);
            EXPECT_GT(tone, 100.0 * played.power(second - 25.0, 0.05, 0.5))
                << rate << " Hz, Osc2Det " << row.detune;
            EXPECT_GT(tone, 100.0 * played.power(second + 25.0, 0.05, 0.5))
                << rate << " Hz, Osc2Det " << row.detune;
        }
    }
}

// Osc2Det 0.52 snaps to 0.014 semitones: the two triangles drift apart by 0.36 Hz and cancel
// after 1.4 s. At 0.5 they stay in unison.
TEST(OrivDetune, NearTheCentreTheOscillatorsBeatSlowlyOrNotAtAll) {
    PlayedNote detuned;
    detuned.set(Osc2Det, 0.52f).play(69, 2.0);
    const double start = detuned.level(0.1, 0.12);
    double quietest = start;
    double quietestAt = 0.0;
    for (double t = 0.1; t < 2.0; t += 0.01) {
        const double level = detuned.level(t, t + 0.02);
        if (level < quietest) {
            quietest = level;
            quietestAt = t + 0.01;
        }
    }
    const double beatHz = 440.0 * (std::exp2(0.002 * 7.0 / 12.0) - 1.0);
    EXPECT_NEAR(quietestAt, 0.5 / beatHz, 0.05);
    EXPECT_LT(quietest, 0.05 * start);

    PlayedNote unison;
    unison.set(Osc2Det, 0.5f).play(69, 1.5);
    EXPECT_NEAR(unison.level(1.39, 1.41) / unison.level(0.1, 0.12), 1.0, 0.03);
}

// A saw at 110 Hz through the filter with its envelope closed: the coefficient is
// 0.25 * cutoff^2, whose resonance lies at 439, 988 and 1759 Hz for cutoffs 0.5, 0.75 and 1.
TEST(OrivFilter, CutoffSetsWhereTheResonancePeaks) {
    const struct {
        float cutoff;
        int32_t harmonic;
    } rows[] = {{0.5f, 4}, {0.75f, 9}, {1.0f, 16}};
    for (const auto& row : rows) {
        PlayedNote played;
        played.set(OscWave, 0.5f).set(VcfReso, 1.0f).set(VcfSus, 0.0f).set(VcfCut, row.cutoff);
        played.play(45, 0.4);
        EXPECT_EQ(played.loudestHarmonic(110.0, 30, 0.1, 0.4), row.harmonic)
            << "VcfCut " << row.cutoff;
    }
}

TEST(OrivFilter, ResonanceRaisesAPeakAtTheCutoff) {
    // Harmonic 4 of 110 Hz lies on the resonance of cutoff 0.5 (as above).
    double peakOverFundamental[2] = {};
    double levels[2] = {};
    for (int32_t resonant = 0; resonant < 2; ++resonant) {
        PlayedNote played;
        played.set(OscWave, 0.5f).set(VcfCut, 0.5f).set(VcfSus, 0.0f);
        played.set(VcfReso, resonant ? 1.0f : 0.0f).play(45, 0.4);
        peakOverFundamental[resonant] =
            played.power(440.0, 0.1, 0.4) / played.power(110.0, 0.1, 0.4);
        levels[resonant] = played.level(0.1, 0.4);
        EXPECT_EQ(played.loudestHarmonic(110.0, 30, 0.1, 0.4), resonant ? 4 : 1);
    }
    EXPECT_GT(peakOverFundamental[1], 100.0 * peakOverFundamental[0]);
    // The resonant filter loses level in its passband; the voice lifts it back.
    EXPECT_GT(levels[1], 0.5 * levels[0]);
}

// With cutoff 0.25 and no resonance, the filter envelope moves the cutoff between 110 Hz
// (envelope at 0) and 1430 Hz (envelope at 1).
TEST(OrivFilter, TheFilterEnvelopeOpensTheFilterAndReturnsToTheCutoff) {
    const auto brightness = [](const PlayedNote& played, double from) {
        double high = 0.0;
        for (int32_t k = 8; k <= 16; ++k)
            high += played.power(k * 110.0, from, from + 0.05);
        return high / played.power(110.0, from, from + 0.05);
    };
    const auto play = [](float attack, float decay, float sustain) {
        PlayedNote played;
        played.set(OscWave, 0.5f).set(VcfCut, 0.25f);
        played.set(VcfAtt, attack).set(VcfDec, decay).set(VcfSus, sustain).play(45, 1.25);
        return played;
    };
    // Open at once, closed after the 1 s decay.
    const PlayedNote decaying = play(0.0f, 0.5f, 0.0f);
    EXPECT_GT(brightness(decaying, 0.0), 100.0 * brightness(decaying, 1.1));
    // Held open by the sustain level.
    const PlayedNote sustained = play(0.0f, 0.5f, 1.0f);
    EXPECT_NEAR(brightness(sustained, 1.1) / brightness(sustained, 0.0), 1.0, 0.5);
    EXPECT_GT(brightness(sustained, 1.1), 100.0 * brightness(decaying, 1.1));
    // Opening over a 1 s attack.
    const PlayedNote opening = play(0.5f, 0.5f, 1.0f);
    EXPECT_GT(brightness(opening, 1.1), 10.0 * brightness(opening, 0.0));
}

TEST(OrivLevel, VelocityScalesTheLevelOfBothSides) {
    const auto levelAt = [](uint8_t velocity) {
        PlayedNote played;
        played.play(69, 0.2, velocity);
        EXPECT_EQ(played.left(), played.right());
        return played.level(0.05, 0.2);
    };
    const double full = levelAt(127);
    EXPECT_GT(full, 0.01);
    EXPECT_NEAR(levelAt(64) / full, 0.5, 1e-4);
    EXPECT_NEAR(levelAt(32) / full, 32.0 / 127.0, 1e-4);
}

// Attack, decay to half the level and release each take 1.01 s; the note is let go at 2.3 s.
// Each segment moves steeply at first: 29 % of the way after a tenth of its time.
TEST(OrivLevel, TheAmplitudeEnvelopeRisesDecaysHoldsAndReleases) {
    PlayedNote steady;
    steady.play(69, 0.2);
    const double full = steady.level(0.05, 0.2);

    PlayedNote played;
    played.set(VcaAtt, 0.5f).set(VcaDec, 0.5f).set(VcaSus, 0.5f).set(VcaRel, 0.5f);
    played.play(69, 2.3).release(69, 1.1);
    const auto levelAround = [&](double t) { return played.level(t - 0.01, t + 0.01) / full; };
    const double segment = 1.0135;
    EXPECT_NEAR(levelAround(0.1), 0.29, 0.03);
    EXPECT_NEAR(levelAround(0.5), 0.89, 0.03);
    EXPECT_NEAR(levelAround(1.0), 1.0, 0.03);
    EXPECT_NEAR(levelAround(segment + 0.1), 1.0 - 0.5 * 0.29, 0.03);
    EXPECT_NEAR(levelAround(2.15), 0.5, 0.02);
    EXPECT_NEAR(levelAround(2.28), 0.5, 0.02);
    EXPECT_NEAR(levelAround(2.4), 0.5 * 0.71, 0.03);
    EXPECT_GT(levelAround(3.0), 0.005);
    // Silent once the release is over.
    const size_t end = played.frame(2.3 + segment + 0.002);
    for (size_t i = end; i < played.left().size(); ++i)
        ASSERT_EQ(played.left()[i], 0.0f) << "frame " << i;
}

TEST(OrivVibrato, VibratoNeedsTheModulationWheel) {
    VoicerRig rig;
    rig.synth.values[OscWave] = 0.0f;
    rig.synth.values[Osc2Det] = 0.5f;
    rig.synth.values[VcfCut] = 1.0f;
    rig.synth.values[VcfReso] = 0.0f;
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

TEST(OrivWaveTable, TheTableFitsTheHarmonicsBelowHalfTheSampleRate) {
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
    VoicerRig rig;
    for (const auto& row : rows) {
        rig.synth.values[OscWave] = row.wave;
        rig.noteOn(row.note);
        EXPECT_EQ(rig.head()->waveTable(), T::table(row.table))
            << "OscWave " << row.wave << " note " << row.note;
        rig.voicer.stopAllVoices();
    }
}

TEST(OrivLevel, ZeroSustainFinishesTheVoiceAfterItsDecay) {
    VoicerRig rig;
    rig.synth.values[VcaSus] = 0.0f;
    rig.synth.values[VcaDec] = 0.0f; // 2167 samples
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
