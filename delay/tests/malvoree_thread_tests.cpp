// One thread renders while another writes random parameters, switches programs and, now and
// then, resumes or changes the sample rate. Built with ThreadSanitizer this proves the hand-off
// free of data races; in every build the output must stay finite and the heads intact.
#include "malvoree.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

using namespace malvoree;

namespace {

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
    for (int step = 0; step < 20000 || blocks.load() < 1000; ++step) {
        effect.writeParameter(parameter(random), unit(random));
        if (step % 97 == 0) effect.selectProgram(program(random));
        if (step % 2501 == 0) effect.onResume();
        if (step % 4999 == 0) effect.changeSampleRate(step % 2 ? 48000.0f : 44100.0f);
        if (step % 13 == 0) std::this_thread::yield();
    }
    stop.store(true);
    audio.join();
    EXPECT_TRUE(allFinite.load());

    // With nothing rendering, a write is in the head at once.
    effect.selectProgram(3);
    effect.writeParameter(headParameterIndex(2, kHeadDelay), 1.0f);
    EXPECT_EQ(effect.head(2).delayLength(), effect.head(2).bufferLength() - 2);
    effect.writeParameter(headParameterIndex(2, kHeadFeedback), 0.125f);
    EXPECT_EQ(effect.head(2).feedbackTarget(), 0.125f);
}

} // namespace
