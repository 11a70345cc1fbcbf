// Parameter and program changes from other threads while blocks render: the engine is never
// touched by two threads at once (run under ThreadSanitizer in the linux-tsan preset), a change
// reaches the engine with the next audio call, and the audio thread is never kept waiting or
// silenced by a writer.
#include "engine/adsr.h"
#include "engine/microsynthvoicer.h"
#include "engine/wavetableset.h"
#include "factory_programs.h"
#include "synth_test_support.h"
#include "thread_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using oriv_test::EventList;
using oriv_test::SynthRig;

int32_t listLength(MicroSynthVoicer& voicer) {
    int32_t length = 0;
    for (Voice* voice = voicer.playingHead(); voice; voice = Voicer::nextInList(voice))
        ++length;
    return length;
}

// First in this executable: the process-wide tables are still unbuilt when two instances are
// created at the same moment on two threads.
TEST(Threads, TwoInstancesCreatedAtOnceShareOneSetOfTables) {
    std::atomic<int32_t> ready{0};
    std::unique_ptr<MicroSynth> made[2];
    auto create = [&](int32_t which) {
        ready.fetch_add(1);
        while (ready.load() < 2) {
        }
        made[which] = std::make_unique<MicroSynth>(oriv_test::hostCallback);
    };
    std::thread first(create, 0);
    std::thread second(create, 1);
    first.join();
    second.join();
    EXPECT_EQ(WaveTableSet::table(WaveTableSet::Triangle)[2047], 0.9990234375f);
    EXPECT_NEAR(EnvelopeCurveTable::values[1024], 0.613296f, 1.5e-6f);
    EXPECT_EQ(made[0]->filterEnvelope().decaySampleCount(),
              made[1]->filterEnvelope().decaySampleCount());
}

TEST(Threads, WritesAndProgramChangesDuringRenderingAreSafe) {
    SynthRig rig(44100.0f, 128);
    std::atomic<bool> done{false};

    std::thread writer([&] {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        while (!done.load()) {
            for (int32_t i = 0; i < 50; ++i)
                rig.synth().writeParameter(static_cast<int32_t>(random() % kSynthParameterCount),
                                           unit(random));
            rig.synth().selectProgram(static_cast<int32_t>(random() % kSynthProgramCount));
            char name[textBufferBytes(kProgramNameMaxLength)];
            rig.synth().copyProgramName(name);
            std::this_thread::yield();
        }
    });

    std::mt19937 random(11);
    for (int32_t block = 0; block < 3000; ++block) {
        EventList events;
        events.noteOn(static_cast<int32_t>(random() % 128),
                      static_cast<uint8_t>(36 + random() % 48));
        if (block % 3 == 0)
            events.noteOff(static_cast<int32_t>(random() % 128),
                           static_cast<uint8_t>(36 + random() % 48));
        if (block % 7 == 0) events.control(5, 74, static_cast<uint8_t>(random() % 128));
        rig.render(128, events);
    }
    done.store(true);
    writer.join();

    for (const std::vector<float>* channel : {&rig.left(), &rig.right()})
        EXPECT_TRUE(std::all_of(channel->begin(), channel->end(),
                                [](float sample) { return std::isfinite(sample); }));
    EXPECT_EQ(listLength(rig.synth().voicer()), rig.synth().voicer().playingCount());
}

// A synth that hands a writer its turn from inside the render call, where the engine reads its
// parameters while it applies what was written before the block; and that, should a write
// ever reach the engine itself, renders a block in the middle of it.
class SynthWithWriterInside : public MicroSynth {
public:
    SynthWithWriterInside() : MicroSynth(oriv_test::hostCallback) {}
    float parameterValue(int32_t channel, int32_t index) override {
        if (writer) {
            writer->turnDuringBlock();
            writer->holdWhileABlockRenders();
        }
        return MicroSynth::parameterValue(channel, index);
    }
    thread_testing::TurnTakingWriter* writer = nullptr;
};

// Three held notes while another thread writes the cutoff and switches programs before every
// block and in the middle of every block: every block must sound. A writer that held the
// engine used to silence hundreds of 2000 blocks. The audio thread has no loop to spin in: the
// hand-off counts every call it could not serve at once, and there must be none.
TEST(Threads, HeldNotesNeverDropOutWhileAnotherThreadWritesAndSwitchesPrograms) {
    constexpr int32_t kBlock = 512;
    constexpr int32_t kBlocks = 400;
    SynthWithWriterInside synth;
    synth.changeSampleRate(44100.0f);
    synth.changeBlockSize(kBlock);
    // Programs 0 to 3 keep their sounds but share the amplitude envelope of "Basic Patch", which
    // sustains at full level: a voice switched to an envelope whose attack and decay are
    // shorter than the time it has sounded renders one block of silence, whatever the threads.
    const FactoryProgram& basic = kFactoryPrograms[0];
    for (int32_t program = 1; program < 4; ++program) {
        synth.selectProgram(program);
        for (int32_t index : {VcaAtt, VcaDec, VcaSus, VcaRel})
            synth.writeParameter(index, basic.values[static_cast<size_t>(index)]);
    }
    synth.selectProgram(0);
    synth.onResume();
    EventList chord;
    chord.noteOn(0, 48).noteOn(0, 55).noteOn(0, 60);
    synth.handleEvents(chord.block());

    std::mt19937 random(5); // the writer's
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    thread_testing::TurnTakingWriter writer([&](int64_t step) {
        synth.writeParameter(VcfCut, unit(random));
        if (step % 16 == 0) synth.selectProgram(static_cast<int32_t>(step / 16 % 4));
    });
    synth.writer = &writer;
    const thread_testing::DropoutCount count = thread_testing::countDropouts(
        writer, kBlocks, kBlock,
        [&](float** outputs, int32_t frames) { synth.renderReplacing(nullptr, outputs, frames); });
    synth.writer = nullptr;

    EXPECT_EQ(count.silentBlocks, 0) << "of " << count.blocks << " blocks";
    EXPECT_EQ(count.blocks, kBlocks);         // none rendered inside a write
    EXPECT_EQ(writer.turnsDuring(), kBlocks); // a write landed inside every render call
    EXPECT_EQ(synth.refusedAudioCalls(), 0);
}

// A program name as the test writes it (one letter repeated), or a factory name from before the
// first rename.
bool isWholeName(const char* name) {
    for (const FactoryProgram& factory : kFactoryPrograms)
        if (std::strcmp(name, factory.name) == 0) return true;
    return thread_testing::isOneLetterRepeated(name);
}

// Automation on the render thread between blocks (as hosts play back automation), while another
// thread switches, renames and copies programs and reads names, texts and values.
TEST(Threads, RenderThreadAutomationMeetsProgramChangesRenamesAndReads) {
    SynthRig rig(44100.0f, 128);
    MicroSynth& synth = rig.synth();
    std::atomic<bool> stop{false};
    std::atomic<int32_t> tornNames{0};

    std::thread host([&] {
        std::mt19937 random(3);
        char text[textBufferBytes(kProgramNameMaxLength)];
        for (int64_t step = 0; !stop.load(); ++step) {
            synth.selectProgram(static_cast<int32_t>(random() % kSynthProgramCount));
            std::string name(1 + random() % kProgramNameMaxLength,
                             static_cast<char>('A' + random() % 26));
            synth.renameProgram(name.data());
            synth.copyProgramName(text);
            if (!isWholeName(text)) tornNames.fetch_add(1);
            synth.copyIndexedProgramName(0, static_cast<int32_t>(random() % kSynthProgramCount),
                                         text);
            if (!isWholeName(text)) tornNames.fetch_add(1);
            synth.copyParameterText(static_cast<int32_t>(random() % kSynthParameterCount), text);
            (void)synth.readParameter(static_cast<int32_t>(random() % kSynthParameterCount));
            if (step % 16 == 0)
                synth.copyCurrentProgramTo(static_cast<int32_t>(random() % kSynthProgramCount));
        }
    });

    std::mt19937 random(4);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int32_t block = 0; block < 3000; ++block) {
        synth.writeParameter(LfoFreq, unit(random));
        synth.writeParameter(VcfCut, unit(random));
        EventList events;
        events.noteOn(static_cast<int32_t>(random() % 128),
                      static_cast<uint8_t>(36 + random() % 48));
        if (block % 2 == 0)
            events.noteOff(static_cast<int32_t>(random() % 128),
                           static_cast<uint8_t>(36 + random() % 48));
        rig.render(128, events);
    }
    stop.store(true);
    host.join();

    // Nothing was left unapplied: one more block and the engine plays the current program.
    rig.render(1);
    for (int32_t i = 0; i < kSynthParameterCount; ++i)
        EXPECT_EQ(synth.parameterValue(0, i), synth.readParameter(i)) << "parameter " << i;
    EXPECT_EQ(tornNames.load(), 0);
    EXPECT_EQ(synth.refusedAudioCalls(), 0);
    EXPECT_EQ(listLength(synth.voicer()), synth.voicer().playingCount());
}

// Writes a parameter from a second thread while the engine is busy with a note-on.
class InterruptedSynth : public MicroSynth {
public:
    InterruptedSynth() : MicroSynth(oriv_test::hostCallback) {}
    float parameterValue(int32_t channel, int32_t index) override {
        if (armed) {
            armed = false;
            std::thread([this] { writeParameter(VcfAtt, 0.7f); }).join();
            attackSeenDuringBlock = filterEnvelope().attackAmount();
        }
        return MicroSynth::parameterValue(channel, index);
    }
    bool armed = false;
    float attackSeenDuringBlock = -1.0f;
};

TEST(Threads, AChangeWrittenDuringACallArrivesWithTheNextCall) {
    InterruptedSynth synth;
    synth.changeBlockSize(64);
    EventList events;
    events.noteOn(0, 60);
    synth.armed = true;
    synth.handleEvents(events.block());
    EXPECT_EQ(synth.attackSeenDuringBlock, 0.0f); // not while the engine was busy
    EXPECT_EQ(synth.readParameter(VcfAtt), 0.7f); // but stored at once
    EXPECT_EQ(synth.filterEnvelope().attackAmount(), 0.0f);
    float left[64];
    float right[64];
    float* outputs[2] = {left, right};
    synth.renderReplacing(nullptr, outputs, 64);
    EXPECT_EQ(synth.filterEnvelope().attackAmount(), 0.7f);
    EXPECT_EQ(synth.refusedAudioCalls(), 0);
}

// A writer that stalls while it applies a change (as if the system paused it). Writers apply
// changes themselves only while nothing renders: here the host never resumed, and the first
// audio call comes while the writer still holds the engine.
class StallingSynth : public MicroSynth {
public:
    StallingSynth() : MicroSynth(oriv_test::hostCallback) {}
    float parameterValue(int32_t channel, int32_t index) override {
        if (stall && std::this_thread::get_id() != audioThread) {
            stall = false;
            holding.store(true);
            while (!resume.load())
                std::this_thread::yield();
        }
        return MicroSynth::parameterValue(channel, index);
    }
    std::atomic<bool> stall{false};
    std::atomic<bool> holding{false};
    std::atomic<bool> resume{false};
    std::thread::id audioThread = std::this_thread::get_id();
};

TEST(Threads, TheAudioThreadNeverWaitsForAStalledWriter) {
    StallingSynth synth;
    synth.changeBlockSize(64);
    synth.stall = true;
    std::thread writer([&] { synth.writeParameter(VcfAtt, 0.3f); });
    while (!synth.holding.load())
        std::this_thread::yield();

    // The engine is taken: the events wait, the block is silent.
    EventList events;
    events.noteOn(0, 60);
    synth.handleEvents(events.block());
    float left[64];
    float right[64];
    float* outputs[2] = {left, right};
    left[0] = 1.0f;
    synth.renderReplacing(nullptr, outputs, 64);
    EXPECT_EQ(left[0], 0.0f);
    EXPECT_EQ(synth.voicer().playingCount(), 0);
    EXPECT_EQ(synth.refusedAudioCalls(), 2);

    synth.resume = true;
    writer.join();
    EXPECT_EQ(synth.filterEnvelope().attackAmount(), 0.3f);
    // The next block plays the note that waited, from its start.
    synth.renderReplacing(nullptr, outputs, 64);
    EXPECT_EQ(synth.voicer().playingCount(), 1);
    EXPECT_NE(left[0], 0.0f);
}

} // namespace
