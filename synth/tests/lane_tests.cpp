// Oriv rendered with its voices in vector lanes sounds exactly like the voice-by-voice loop:
// every sample of every program, bit for bit, at every vector level this processor has, with
// notes starting, ending and being stolen inside blocks, pitch bend, vibrato, sustain and
// parameter changes between and inside blocks.
#include "simdlevel.h"
#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using oriv_test::EventList;
using oriv_test::SynthRig;

// The host's calls: render lengths (some longer than the block size, some odd) with events.
using Performance = void (*)(SynthRig& rig, int32_t size);

constexpr int32_t kCalls[] = {512, 512, 333, 512, 7, 512, 1000, 512, 64, 512};

// A chord of `size` notes struck across the first block, half released inside the third,
// then as many again (stealing from the pool of ten), and everything released; panned away
// from the centre, so that left and right differ.
void playChord(SynthRig& rig, int32_t size) {
    for (int32_t call = 0; call < 10; ++call) {
        EventList events;
        events.control(0, 10, static_cast<uint8_t>(100 - 9 * call));
        for (int32_t i = 0; i < size; ++i) {
            const auto note = static_cast<uint8_t>(24 + 9 * i);
            const int32_t delta = (37 * i) % 300;
            if (call == 0) events.noteOn(delta, note, static_cast<uint8_t>(40 + 7 * i));
            if (call == 2 && i % 2 == 0) events.noteOff(delta, note);
            if (call == 3) events.noteOn(delta, static_cast<uint8_t>(note + 2));
            if (call == 6) events.noteOff(delta, static_cast<uint8_t>(note + 2));
        }
        rig.render(kCalls[call], events);
    }
}

// Bend sweeps inside blocks, on two channels.
void playBend(SynthRig& rig, int32_t size) {
    for (int32_t call = 0; call < 10; ++call) {
        EventList events;
        if (call == 0)
            for (int32_t i = 0; i < size; ++i)
                events.noteOn(i * 11, static_cast<uint8_t>(40 + 5 * i), 90,
                              static_cast<uint8_t>(i % 2));
        events.add(3 + call * 17, 0xE0, static_cast<uint8_t>(call * 13),
                   static_cast<uint8_t>(call * 12));
        events.add(250, 0xE1, 0, static_cast<uint8_t>(127 - call * 9));
        rig.render(kCalls[call], events);
    }
}

// Vibrato on channel 1 only, deep on low notes (their phases run backwards at times), so
// lanes with and without vibrato render together; the wheel goes back to 0 at the end.
void playModulation(SynthRig& rig, int32_t size) {
    for (int32_t call = 0; call < 10; ++call) {
        EventList events;
        if (call == 0)
            for (int32_t i = 0; i < size; ++i)
                events.noteOn(i * 5, static_cast<uint8_t>(2 + 10 * i), 100,
                              static_cast<uint8_t>(i % 2));
        const auto wheel = static_cast<uint8_t>(call < 8 ? 127 - call * 10 : 0);
        events.control(100 + call, 1, wheel, 1);
        rig.render(kCalls[call], events);
    }
}

// Notes released under the sustain pedal, the pedal lifted inside a block.
void playSustain(SynthRig& rig, int32_t size) {
    for (int32_t call = 0; call < 10; ++call) {
        EventList events;
        for (int32_t i = 0; i < size; ++i) {
            const auto note = static_cast<uint8_t>(48 + 3 * i);
            if (call == 0) events.noteOn(i * 29, note);
            if (call == 1) events.noteOff(200 + i, note);
        }
        if (call == 0) events.control(0, 64, 127);
        if (call == 4) events.control(123, 64, 0);
        rig.render(kCalls[call], events);
    }
}

// Cutoff and resonance from controllers inside blocks; the host moving knobs between calls.
void playParameterChanges(SynthRig& rig, int32_t size) {
    const int32_t knobs[] = {VcfCut, OscWave, Osc2Det, LfoFreq, VcfSus, VcaRel, OscRang, VcfReso};
    for (int32_t call = 0; call < 10; ++call) {
        EventList events;
        if (call == 0)
            for (int32_t i = 0; i < size; ++i)
                events.noteOn(i * 3, static_cast<uint8_t>(30 + 8 * i));
        events.control(50 + call * 20, 74, static_cast<uint8_t>(20 + call * 10));
        events.control(400, 71, static_cast<uint8_t>(120 - call * 11));
        if (call == 5) events.control(10, 1, 90);
        rig.render(kCalls[call] / 2, events);
        rig.synth().writeParameter(knobs[call % 8], 0.1f * static_cast<float>(call));
        rig.render(kCalls[call] - kCalls[call] / 2);
    }
}

struct Case {
    const char* name;
    Performance perform;
    int32_t sizes[3];
};

const Case kCases[] = {
    {"chord", playChord, {1, 2, 3}},      {"chord", playChord, {4, 5, 6}},
    {"chord", playChord, {7, 8, 9}},      {"chord", playChord, {10, 11, 12}},
    {"bend", playBend, {3, 9, 10}},       {"modulation", playModulation, {2, 5, 10}},
    {"sustain", playSustain, {4, 8, 12}}, {"parameterChanges", playParameterChanges, {1, 6, 10}},
};

std::vector<float> perform(SimdLevel level, int32_t program, Performance play, int32_t size) {
    const SimdLevel previous = forceSimdLevel(level);
    SynthRig rig(44100.0f, 512);
    rig.synth().selectProgram(program);
    play(rig, size);
    forceSimdLevel(previous);
    std::vector<float> both = rig.left();
    both.insert(both.end(), rig.right().begin(), rig.right().end());
    return both;
}

std::vector<SimdLevel> vectorLevels() {
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2})
        if (static_cast<int32_t>(level) <= static_cast<int32_t>(detectedSimdLevel()))
            levels.push_back(level);
    return levels;
}

// The first sample whose bits differ, or -1.
int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<int64_t>(i);
    return -1;
}

TEST(VoiceLanes, EveryProgramSoundsBitForBitAsTheScalarLoop) {
    const std::vector<SimdLevel> levels = vectorLevels();
    if (levels.empty()) GTEST_SKIP() << "no vector unit on this processor";
    for (const Case& test : kCases) {
        for (int32_t size : test.sizes) {
            for (int32_t program = 0; program < kSynthProgramCount; ++program) {
                const std::vector<float> reference =
                    perform(SimdLevel::Scalar, program, test.perform, size);
                for (SimdLevel level : levels) {
                    const std::vector<float> lanes = perform(level, program, test.perform, size);
                    EXPECT_EQ(firstDifference(reference, lanes), -1)
                        << test.name << " of " << size << " notes, program " << program << ", "
                        << simdLevelName(level);
                }
            }
        }
    }
}

TEST(VoiceLanes, PhasesBeyondThirtyTwoBitsReadTheSameEntries) {
    // A high note's phase passes 2^31 table entries after about 16 s; hold five for 20 s, so
    // that the lanes of a full group and of a pair both pass it.
    const std::vector<SimdLevel> levels = vectorLevels();
    if (levels.empty()) GTEST_SKIP() << "no vector unit on this processor";
    const auto holdHighNotes = [](SynthRig& rig, int32_t) {
        rig.synth().writeParameter(OscRang, 1.0f);
        rig.synth().writeParameter(VcaSus, 1.0f);
        EventList events;
        events.noteOn(0, 127).noteOn(5, 120, 80).noteOn(9, 124).noteOn(13, 115, 90).noteOn(17, 110);
        rig.render(4096, events);
        for (int32_t i = 0; i < 215; ++i)
            rig.render(4096);
    };
    const std::vector<float> reference = perform(SimdLevel::Scalar, 0, holdHighNotes, 0);
    for (SimdLevel level : levels)
        EXPECT_EQ(firstDifference(reference, perform(level, 0, holdHighNotes, 0)), -1)
            << simdLevelName(level);
}

} // namespace
