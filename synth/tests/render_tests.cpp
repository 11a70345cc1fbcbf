// Oriv's output: notes start and end at their exact frames, the sound does not depend on how
// the host cuts the blocks, and random playing never yields NaN, infinity or subnormals.
#include "engine/microsynthvoicer.h"
#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

namespace {

using oriv_test::EventList;
using oriv_test::SynthRig;

struct TimedEvent {
    int64_t frame;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

// Plays events at absolute frames through blocks of `block` frames (the last call of each
// block may be longer than the announced block size when `callFrames` is larger).
std::vector<float> play(const std::vector<TimedEvent>& events, int32_t block, int32_t callFrames,
                        int64_t total) {
    SynthRig rig(44100.0f, block);
    for (int64_t start = 0; start < total; start += callFrames) {
        EventList list;
        for (const TimedEvent& event : events)
            if (event.frame >= start && event.frame < start + callFrames)
                list.add(static_cast<int32_t>(event.frame - start), event.status, event.data1,
                         event.data2);
        rig.render(static_cast<int32_t>(std::min<int64_t>(callFrames, total - start)), &list);
    }
    return rig.left();
}

TEST(Render, NoteStartsAtItsDeltaFrame) {
    SynthRig rig(44100.0f, 64);
    EventList events;
    rig.render(64, events.noteOn(10, 60));
    EXPECT_EQ(rig.firstSound(), 10);

    SynthRig later(44100.0f, 64);
    EventList late;
    later.render(64, late.noteOn(100, 60)); // a delta beyond the block
    EXPECT_EQ(later.firstSound(), -1);
    later.render(64);
    EXPECT_EQ(later.firstSound(), 100);
}

TEST(Render, ReleaseStartsAtItsDeltaFrame) {
    // Note-on at 10 and note-off at 40 in one block sound exactly like the same block cut in
    // two at frame 40 with the note-off at its start.
    SynthRig whole(44100.0f, 64);
    EventList both;
    both.noteOn(10, 60).noteOff(40, 60);
    whole.render(64, both);
    whole.render(4096);

    SynthRig split(44100.0f, 64);
    EventList on;
    EventList off;
    split.render(40, on.noteOn(10, 60));
    split.render(24, off.noteOff(0, 60));
    split.render(4096);
    EXPECT_EQ(whole.left(), split.left());
    EXPECT_EQ(whole.right(), split.right());
}

TEST(Render, OutputDoesNotDependOnTheBlockSize) {
    const std::vector<TimedEvent> events = {
        {0, 0x90, 48, 90},     {37, 0x90, 55, 100},  {511, 0x90, 60, 80},  {700, 0x80, 48, 64},
        {1025, 0x90, 64, 127}, {2100, 0x80, 55, 0},  {2101, 0x90, 67, 70}, {3000, 0x90, 60, 0},
        {4500, 0x80, 64, 64},  {4501, 0x80, 67, 64},
    };
    const int64_t total = 12000;
    const std::vector<float> reference = play(events, 512, 512, total);
    EXPECT_EQ(play(events, 64, 64, total), reference);
    EXPECT_EQ(play(events, 100, 100, total), reference);
    EXPECT_EQ(play(events, 1, 1, 4000),
              std::vector<float>(reference.begin(), reference.begin() + 4000));
    // Calls longer than the announced block size are rendered in pieces.
    EXPECT_EQ(play(events, 64, 3000, total), reference);
}

TEST(Render, NoteOffBeforeItsNoteOnReleasesAtTheStart) {
    // Same block: the note-off is moved to the note's start.
    SynthRig early(44100.0f, 64);
    EventList reversed;
    early.render(64, reversed.noteOn(50, 60).noteOff(20, 60));
    early.render(4096);
    SynthRig together(44100.0f, 64);
    EventList same;
    together.render(64, same.noteOn(50, 60).noteOff(50, 60));
    together.render(4096);
    EXPECT_EQ(early.left(), together.left());
    EXPECT_EQ(early.firstSound(), 50);

    // Across blocks: note-on 100 frames ahead, note-off 70 frames ahead.
    SynthRig ahead(44100.0f, 64);
    EventList far;
    ahead.render(64, far.noteOn(100, 60).noteOff(70, 60));
    ahead.render(4096);
    SynthRig reference(44100.0f, 64);
    EventList near;
    reference.render(64, near.noteOn(100, 60).noteOff(100, 60));
    reference.render(4096);
    EXPECT_EQ(ahead.left(), reference.left());
}

TEST(Render, ExtremeDeltasAreSurvived) {
    SynthRig rig(44100.0f, 64);
    EventList events;
    events.noteOn(INT32_MAX, 60).noteOff(INT32_MIN, 60).noteOn(-5, 62).noteOff(INT32_MIN, 62);
    rig.render(64, events);
    rig.render(64);
    EXPECT_EQ(rig.firstSound(), 0); // note 62 starts at once, in its release
    for (float value : rig.left())
        ASSERT_TRUE(std::isfinite(value));
}

TEST(Render, EmptyCallsRenderNothing) {
    SynthRig rig;
    float left[4] = {7.0f, 7.0f, 7.0f, 7.0f};
    float right[4] = {7.0f, 7.0f, 7.0f, 7.0f};
    float* outputs[2] = {left, right};
    rig.synth().renderReplacing(nullptr, outputs, 0);
    rig.synth().renderReplacing(nullptr, outputs, -5);
    EXPECT_EQ(left[0], 7.0f);
    EXPECT_EQ(right[3], 7.0f);
}

TEST(Render, RandomPlayingStaysFiniteAndNormal) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> byte(0, 127);
    SynthRig rig(48000.0f, 256);
    for (int32_t round = 0; round < 40; ++round) {
        rig.synth().selectProgram(round % kSynthProgramCount);
        for (int32_t i = 0; i < 4; ++i)
            rig.synth().writeParameter(byte(random) % kSynthParameterCount, unit(random));
        EventList events;
        for (int32_t i = 0; i < 6; ++i) {
            const auto delta = static_cast<int32_t>(random() % 256);
            switch (random() % 5) {
            case 0:
                events.add(delta, 0xE0, static_cast<uint8_t>(byte(random)),
                           static_cast<uint8_t>(byte(random)));
                break;
            case 1:
                events.control(delta, 1, static_cast<uint8_t>(byte(random)));
                break;
            case 2:
                events.noteOff(delta, static_cast<uint8_t>(byte(random)));
                break;
            default:
                events.noteOn(delta, static_cast<uint8_t>(byte(random)),
                              static_cast<uint8_t>(1 + byte(random) % 127));
            }
        }
        rig.render(256, events);
        for (int32_t i = 0; i < 40; ++i)
            rig.render(256);
    }
    size_t sounding = 0;
    for (const std::vector<float>* channel : {&rig.left(), &rig.right()}) {
        for (float value : *channel) {
            ASSERT_TRUE(std::isfinite(value));
            ASSERT_TRUE(value == 0.0f || std::fabs(value) >= FLT_MIN) << value;
            sounding += value != 0.0f;
        }
    }
    EXPECT_GT(sounding, rig.left().size() / 10);
}

} // namespace
