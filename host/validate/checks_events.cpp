// Check 10: what a broken MIDI cable, a buggy sequencer or a fuzzer sends an instrument:
// random bytes, running status, system bytes, event records of other types, and delta frames
// outside the block. Afterwards the instrument must still play a clean note and fall silent
// after its release.
#include "check_support.h"
#include "checkrandom.h"
#include "renderrig.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <vector>

namespace {

constexpr int32_t kBlock = 256;
constexpr float kRate = 44100.0f;
constexpr double kLongestTailSeconds = 30.0;
constexpr float kAudiblePeak = 1.0e-4f;

MidiEventRecord randomEvent(CheckRandom& random, int32_t blockSize) {
    MidiEventRecord event{};
    event.type = kMidiEventType;
    event.byteSize = static_cast<int32_t>(sizeof(MidiEventRecord));
    const auto randomByte = [&](int32_t limit) {
        return static_cast<uint8_t>(random.below(limit));
    };
    const int32_t kind = random.below(10);
    if (kind == 0) {
        event.type = random.between(2, 6); // not MIDI: to be skipped
        event.byteSize = random.below(64);
    }
    if (kind <= 4) {
        // A channel message with valid data bytes.
        event.midiData[0] = static_cast<uint8_t>(0x80 + random.below(0x70));
        event.midiData[1] = randomByte(128);
        event.midiData[2] = randomByte(128);
    } else if (kind <= 7) {
        // Any bytes: system bytes, status bytes where data belongs.
        event.midiData[0] = randomByte(256);
        event.midiData[1] = randomByte(256);
        event.midiData[2] = randomByte(256);
    } else {
        // Data bytes only: running status from an earlier message, if any.
        event.midiData[0] = randomByte(128);
        event.midiData[1] = randomByte(128);
        event.midiData[2] = randomByte(128);
    }
    event.midiData[3] = random.chance(0.9f) ? 0 : randomByte(256);
    event.detune = static_cast<int8_t>(random.below(256) - 128);
    event.noteOffVelocity = randomByte(128);
    event.flags = random.chance(0.9f) ? 0 : random.below(4);

    if (random.chance(0.85f)) {
        event.deltaFrames = random.below(blockSize);
    } else {
        const int32_t outside[] = {-1,
                                   -blockSize,
                                   blockSize,
                                   blockSize + 1,
                                   10 * blockSize,
                                   std::numeric_limits<int32_t>::max(),
                                   std::numeric_limits<int32_t>::min()};
        event.deltaFrames = outside[random.below(static_cast<int32_t>(std::size(outside)))];
    }
    return event;
}

// What a host sends to bring an instrument back to a known state: controllers reset, pedals
// up, volume and pan centred, bend centred, all notes off, on every channel.
void addReset(EventList& events) {
    for (int32_t channel = 0; channel < 16; ++channel) {
        events.controller(0, channel, 121, 0);
        events.controller(0, channel, 64, 0);
        events.controller(0, channel, 65, 0);
        events.controller(0, channel, 66, 0);
        events.controller(0, channel, 67, 0);
        events.controller(0, channel, 1, 0);
        events.controller(0, channel, 7, 100);
        events.controller(0, channel, 10, 64);
        events.add(0, static_cast<uint8_t>(0xE0 | channel), 0, 64);
        events.controller(0, channel, 123, 0);
    }
}

void playCleanNote(RenderRig& rig, const char* when) {
    const std::string situation = textf("44100 Hz, block 256, a clean note %s", when);
    rig.events().noteOn(0, 0, 60, 100);
    float peak = 0.0f;
    for (int32_t rendered = 0; rendered < static_cast<int32_t>(0.5f * kRate); rendered += kBlock) {
        rig.render(kBlock, situation.c_str());
        peak = std::max(peak, rig.lastPeak());
    }
    if (peak < kAudiblePeak)
        failCheck(textf("a clean note (60, velocity 100) %s made no sound (peak %g)", when,
                        static_cast<double>(peak)));
    rig.events().noteOff(0, 0, 60);
    if (renderUntilQuiet(rig, kBlock, kRate, kLongestTailSeconds, situation.c_str()) < 0.0)
        failCheck(textf("a clean note %s still sounds %.0f s after its note-off", when,
                        kLongestTailSeconds));
}

} // namespace

CheckOutcome runEventFuzzCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance& instance = *subject.instance;
    if (!instance.isInstrument()) return checkSkipped("not an instrument");
    CheckRandom random(settings.seed);

    instance.prepare(kRate, kBlock);
    RenderRig rig(instance, kBlock, random.next());
    rig.setInputLevel(0.0f);
    const intptr_t program = instance.dispatch(ProgramQuery);
    std::vector<float> values(static_cast<size_t>(instance.parameterCount()));
    for (int32_t i = 0; i < instance.parameterCount(); ++i)
        values[static_cast<size_t>(i)] = instance.readParameter(i);

    playCleanNote(rig, "before the fuzz");

    const int blocks = scaledCount(settings, 600);
    int64_t events = 0;
    for (int block = 0; block < blocks; ++block) {
        // Mostly a few events, now and then a flood.
        const int32_t count = random.chance(0.05f) ? random.between(64, 400) : random.below(13);
        for (int32_t i = 0; i < count; ++i)
            rig.events().addRecord(randomEvent(random, kBlock));
        events += rig.events().size();
        rig.render(kBlock, "44100 Hz, block 256, random MIDI events");
    }

    // Controllers may have moved parameters and MIDI program changes may have switched
    // programs: the host puts its own back, as it does when playback starts again.
    addReset(rig.events());
    instance.dispatch(ProgramSelect, 0, program);
    for (int32_t i = 0; i < instance.parameterCount(); ++i)
        instance.writeParameter(i, values[static_cast<size_t>(i)]);
    if (renderUntilQuiet(rig, kBlock, kRate, kLongestTailSeconds,
                         "44100 Hz, block 256, after the fuzz and all notes off") < 0.0)
        failCheck(textf("still sounding %.0f s after all notes off that followed %lld random "
                        "events",
                        kLongestTailSeconds, static_cast<long long>(events)));
    playCleanNote(rig, "after the fuzz");

    return checkPassed(textf("%lld random events in %d blocks survived with finite output; a "
                             "clean note plays and ends before and after",
                             static_cast<long long>(events), blocks));
}
