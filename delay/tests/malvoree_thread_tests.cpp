// One thread renders while another writes random parameters, switches, renames and copies
// programs, reads names and texts and, now and then, resumes or changes the sample rate. Built
// with ThreadSanitizer this proves the hand-off free of data races; in every build the output
// must stay finite, nothing written may be left unapplied, and parameter traffic alone must
// never silence a block.
#include "malvoree.h"
#include "test_host.h"
#include "thread_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace malvoree;

namespace {

// A program name as the tests write it (one letter repeated), or "Init n" from before the first
// rename.
bool isWholeName(const char* name) {
    return std::strncmp(name, "Init", 4) == 0 || thread_testing::isOneLetterRepeated(name);
}

// The heads hold exactly the current program's values.
void expectHeadsFollowTheProgram(Malvoree& effect) {
    for (int32_t h = 0; h < kHeadCount; ++h) {
        const DelayHead& head = effect.head(h);
        EXPECT_EQ(head.delayAmount(), effect.readParameter(headParameterIndex(h, kHeadDelay)));
        EXPECT_EQ(head.feedbackTarget(),
                  effect.readParameter(headParameterIndex(h, kHeadFeedback)));
        EXPECT_EQ(head.filterAmount(), effect.readParameter(headParameterIndex(h, kHeadFilter)));
        EXPECT_EQ(head.volume(), effect.readParameter(headParameterIndex(h, kHeadVolume)));
        EXPECT_EQ(head.pan(), effect.readParameter(headParameterIndex(h, kHeadPan)));
        EXPECT_EQ(head.wetGain(), effect.readParameter(kMixParameter) * 0.5f);
    }
    EXPECT_EQ(effect.tempoSync(), effect.readParameter(kTempoParameter) >= 0.5f);
}

TEST(MalvoreeThreads, ParameterAndProgramChangesDuringRenderingAreSafe) {
    test_host::setTempo(120.0);
    Malvoree effect(test_host::callback);
    constexpr int32_t kBlock = 256;
    effect.changeSampleRate(44100.0f);
    effect.changeBlockSize(kBlock);
    effect.onResume();

    std::atomic<bool> stop{false};
    std::atomic<bool> allFinite{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
        std::mt19937 random(1);
        std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
        while (!stop.load()) {
            for (int32_t i = 0; i < kBlock; ++i) {
                left[static_cast<size_t>(i)] = sample(random);
                right[static_cast<size_t>(i)] = sample(random);
            }
            // Automation between blocks, on the render thread.
            effect.writeParameter(headParameterIndex(1, kHeadFeedback), sample(random) * 0.5f);
            effect.writeParameter(kMixParameter, 0.5f + sample(random) * 0.5f);
            float* in[2] = {left.data(), right.data()};
            float* out[2] = {outLeft.data(), outRight.data()};
            effect.renderReplacing(in, out, kBlock);
            // Every other block in place, through the scratch copy.
            effect.renderReplacing(in, in, kBlock);
            for (int32_t i = 0; i < kBlock; ++i)
                if (!std::isfinite(outLeft[static_cast<size_t>(i)]) ||
                    !std::isfinite(left[static_cast<size_t>(i)]))
                    allFinite.store(false);
            blocks.fetch_add(1);
        }
    });

    std::mt19937 random(2);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int32_t> parameter(0, kParameterCount - 1);
    std::uniform_int_distribution<int32_t> program(0, kProgramCount - 1);
    int32_t tornNames = 0;
    char text[textBufferBytes(kProgramNameMaxLength)];
    for (int step = 0; step < 20000 || blocks.load() < 1000; ++step) {
        effect.writeParameter(parameter(random), unit(random));
        if (step % 97 == 0) effect.selectProgram(program(random));
        if (step % 31 == 0) {
            std::string name(1 + random() % kStoredProgramNameLength,
                             static_cast<char>('A' + random() % 26));
            effect.renameProgram(name.data());
            effect.copyProgramName(text);
            tornNames += isWholeName(text) ? 0 : 1;
            effect.copyIndexedProgramName(0, program(random), text);
            tornNames += isWholeName(text) ? 0 : 1;
        }
        if (step % 7 == 0) effect.copyParameterText(parameter(random), text);
        if (step % 211 == 0) effect.copyCurrentProgramTo(program(random));
        if (step % 2501 == 0) effect.onResume();
        if (step % 4999 == 0) effect.changeSampleRate(step % 2 ? 48000.0f : 44100.0f);
        if (step % 13 == 0) std::this_thread::yield();
    }
    stop.store(true);
    audio.join();
    EXPECT_TRUE(allFinite.load());
    EXPECT_EQ(tornNames, 0);

    // Nothing was left unapplied: one more block and the heads hold the current program.
    std::vector<float> silence(kBlock, 0.0f);
    float* io[2] = {silence.data(), silence.data()};
    effect.renderReplacing(io, io, kBlock);
    expectHeadsFollowTheProgram(effect);

    // While suspended, a write is in the head at once.
    effect.onSuspend();
    effect.selectProgram(3);
    effect.writeParameter(headParameterIndex(2, kHeadDelay), 1.0f);
    EXPECT_EQ(effect.head(2).delayLength(), effect.head(2).bufferLength() - 2);
    effect.writeParameter(headParameterIndex(2, kHeadFeedback), 0.125f);
    EXPECT_EQ(effect.head(2).feedbackTarget(), 0.125f);
    expectHeadsFollowTheProgram(effect);
}

// The writer whose turn the host hands out while Malvoree asks it for the tempo, which it does
// inside every render call while Tempo is on.
thread_testing::TurnTakingWriter* writerInsideHostCall = nullptr;

intptr_t hostWithWriterInside(DescriptorRecord* effect, int32_t opcode, int32_t index,
                              intptr_t value, void* pointer, float option) {
    if (opcode == TransportInfo && writerInsideHostCall) writerInsideHostCall->turnDuringBlock();
    return test_host::callback(effect, opcode, index, value, pointer, option);
}

// Audio with a dry share while another thread writes head parameters and switches programs
// before every block and in the middle of every block: no block may come out silent, and no
// render call is refused the heads.
TEST(MalvoreeThreads, ParameterTrafficNeverSilencesABlock) {
    test_host::setTempo(120.0);
    Malvoree effect(hostWithWriterInside);
    constexpr int32_t kBlock = 512;
    constexpr int32_t kBlocks = 400;
    effect.changeSampleRate(44100.0f);
    effect.changeBlockSize(kBlock);
    // Half dry in every program, so the input is always heard; Tempo on, so every call asks the
    // host for it.
    for (int32_t p = 0; p < kProgramCount; ++p) {
        effect.selectProgram(p);
        effect.writeParameter(kMixParameter, 0.5f);
        effect.writeParameter(kTempoParameter, 1.0f);
    }
    effect.onResume();

    std::mt19937 random(5); // the writer's
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> inLeft(kBlock, 0.25f), inRight(kBlock, -0.25f);
    float* in[2] = {inLeft.data(), inRight.data()};
    thread_testing::TurnTakingWriter writer([&](int64_t step) {
        effect.writeParameter(static_cast<int32_t>(random() % (kHeadCount * kParametersPerHead)),
                              unit(random));
        if (step % 16 == 0) effect.selectProgram(static_cast<int32_t>(step / 16 % kProgramCount));
    });
    writerInsideHostCall = &writer;
    const thread_testing::DropoutCount count = thread_testing::countDropouts(
        writer, kBlocks, kBlock,
        [&](float** outputs, int32_t frames) { effect.renderReplacing(in, outputs, frames); });
    writerInsideHostCall = nullptr;

    EXPECT_EQ(count.silentBlocks, 0) << "of " << count.blocks << " blocks";
    EXPECT_EQ(writer.turnsDuring(), kBlocks); // a write landed inside every render call
    EXPECT_EQ(effect.refusedAudioCalls(), 0);
}

} // namespace
