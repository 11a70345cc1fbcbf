// Parameter and program changes from another thread while blocks render: the engine is never
// touched by two threads at once (run under ThreadSanitizer in the linux-tsan preset), and a
// change written during a block reaches the engine as soon as that block ends.
#include "engine/adsr.h"
#include "engine/microsynthvoicer.h"
#include "engine/wavetableset.h"
#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>

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
            char name[kProgramNameBytes];
            rig.synth().copyProgramName(name);
            std::this_thread::yield();
        }
    });

    std::mt19937 random(11);
    bool finite = true;
    for (int32_t block = 0; block < 3000; ++block) {
        EventList events;
        events.noteOn(static_cast<int32_t>(random() % 128),
                      static_cast<uint8_t>(36 + random() % 48));
        if (block % 3 == 0)
            events.noteOff(static_cast<int32_t>(random() % 128),
                           static_cast<uint8_t>(36 + random() % 48));
        if (block % 7 == 0) events.control(5, 74, static_cast<uint8_t>(random() % 128));
        rig.render(128, events);
        const float sample = rig.left().back();
        finite = finite && std::isfinite(sample);
    }
    done.store(true);
    writer.join();

    EXPECT_TRUE(finite);
    EXPECT_EQ(listLength(rig.synth().voicer()), rig.synth().voicer().playingCount());
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

TEST(Threads, AChangeWrittenDuringABlockArrivesWhenTheBlockEnds) {
    InterruptedSynth synth;
    synth.changeBlockSize(64);
    EventList events;
    events.noteOn(0, 60);
    synth.armed = true;
    synth.handleEvents(events.block());
    EXPECT_EQ(synth.attackSeenDuringBlock, 0.0f); // not while the engine was busy
    EXPECT_EQ(synth.readParameter(VcfAtt), 0.7f); // but stored at once
    EXPECT_EQ(synth.filterEnvelope().attackAmount(), 0.7f);
}

// A control thread that stalls while it applies a change (as if the system paused it).
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

    synth.resume = true;
    writer.join();
    EXPECT_EQ(synth.filterEnvelope().attackAmount(), 0.3f);
    // The next block plays the note that waited, from its start.
    synth.renderReplacing(nullptr, outputs, 64);
    EXPECT_EQ(synth.voicer().playingCount(), 1);
    EXPECT_NE(left[0], 0.0f);
}

} // namespace
